// CStopTimeDlg: when the recording stops by itself. None, after so long recorded (pauses left
// out), or at a time of day; a value that is not understood, or a time already past, is said in
// the dialog, and OK waits for a good one. Opened from the window's stop-time button (Alt+T),
// while recording too: the marker's key and the taskbar's buttons go on acting meanwhile.
#pragma once

#include "app/stop_time.h"
#include "ui/framework/dialog.h"

#include <string>

class CStopTimeDlg : public CDialog {
public:
    // The stop time set now.
    explicit CStopTimeDlg(const StopTime& current);

    // After OK: the stop time chosen.
    const StopTime& Chosen() const { return m_chosen; }

    // A typed choice against the local time: NONE's radio needs no text. The reason a text is
    // not taken (a string's number) or 0.
    static UINT Resolve(int radio, const std::wstring& text, uint64_t nowMs, StopTime& stop);
    // The text a stop time is shown with in its field.
    static std::wstring FieldText(const StopTime& stop);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void FollowChoice();

    StopTime m_chosen;
};

// The local time now, in ms since 1601.
uint64_t LocalNowMs();
