// CNoticeLine: what the user must learn while a recording runs, said in the main window rather
// than in a box that would stop the window (and the marker's key) until answered. A drop-down
// list below the tabs: the newest notice shows, the earlier ones (with the time each came) are a
// key press away; each new one is said to screen readers and flashes the taskbar button until
// the window comes to the front. Window thread.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

class CNoticeLine {
public:
    static constexpr int kKept = 20;

    // The list control (a CBS_DROPDOWNLIST combo box) and the window whose button flashes.
    void Attach(HWND list, HWND owner);
    // A notice at the local time given: one line, the time in front.
    void Add(const std::wstring& text, const SYSTEMTIME& time);
    void Add(const std::wstring& text);
    // The notices as shown, the newest first; and as they were told (their paragraphs).
    int Count() const;
    std::wstring Line(int index) const;
    const std::wstring& Text(int index) const { return m_texts[size_t(index)]; }
    // A text of the string table as one line: its paragraphs joined by a space.
    static std::wstring OneLine(const std::wstring& text);

private:
    HWND m_list = nullptr;
    HWND m_owner = nullptr;
    std::deque<std::wstring> m_texts;
};
