// What the main window offers the windows inside it (the record bar, the preview page, the
// settings page), handed to each at Connect: they reach the main window through it alone, and
// never one another.
#pragma once

#include "monitor/monitor.h"
#include "recording/recording_view.h"
#include "ui/windows/sound_format_dlg.h"

#include <windows.h>

#include <string>

class IMainWindow {
public:
    // The window that owns their dialogs and boxes, and whose taskbar button flashes.
    virtual HWND Owner() const = 0;
    // A part of the status bar: 0 the state, 1 the time, 2 and 3 the held levels.
    virtual void SetStatusText(int part, const std::wstring& text) = 0;
    virtual std::wstring StatusText(int part) const = 0;
    // The recording's new state, said once to screen readers; something that happened and
    // changes no state (a marker placed).
    virtual void SayState(const std::wstring& said) = 0;
    virtual void Announce(const std::wstring& said) = 0;
    // What the user must learn, and a question with Yes and No (see CMainDlg).
    virtual void Tell(const std::wstring& text) = 0;
    virtual bool Ask(const std::wstring& text) = 0;
    // Nobody sees the pictures or the time.
    virtual bool IsMinimised() const = 0;
    // The recording format the record bar keeps (the monitor's layout, the format dialog's).
    virtual SoundFormatFields Format() = 0;
    // The monitor the capture draws into, whose pictures the preview page shows.
    virtual CMonitor& Monitor() = 0;
    // The recording's view changed: the tabs, the taskbar button, the input's name, the computer
    // held awake, the shutdown and the marker's key follow it.
    virtual void FollowView(const RecordingView& view) = 0;
    // The record bar's tick (every 100 ms of a run, minimised too).
    virtual void Tick() = 0;

protected:
    ~IMainWindow() = default;
};
