#include "ui/windows/notice_line.h"

#include "ui/access/accessibility.h"

#include <cwchar>

void CNoticeLine::Attach(HWND list, HWND owner) {
    m_list = list;
    m_owner = owner;
}

std::wstring CNoticeLine::OneLine(const std::wstring& text) {
    std::wstring line;
    for (const wchar_t c : text) {
        if (c == L'\r' || c == L'\n') {
            if (!line.empty() && line.back() != L' ')
                line += L' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == L' ')
        line.pop_back();
    return line;
}

void CNoticeLine::Add(const std::wstring& text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    Add(text, now);
}

void CNoticeLine::Add(const std::wstring& text, const SYSTEMTIME& time) {
    if (!m_list || text.empty())
        return;
    wchar_t stamp[16];
    std::swprintf(stamp, 16, L"%02u:%02u:%02u ", unsigned(time.wHour), unsigned(time.wMinute),
                  unsigned(time.wSecond));
    const std::wstring line = stamp + OneLine(text);
    SendMessageW(m_list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    m_texts.push_front(text);
    while (Count() > kKept) {
        SendMessageW(m_list, CB_DELETESTRING, WPARAM(Count() - 1), 0);
        m_texts.pop_back();
    }
    SendMessageW(m_list, CB_SETCURSEL, 0, 0);
    EnableWindow(m_list, TRUE);
    AnnounceToScreenReaders(m_list, OneLine(text), L"Sonarix.Notice");
    FLASHWINFO flash = {sizeof flash, m_owner, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

int CNoticeLine::Count() const {
    const LRESULT count = m_list ? SendMessageW(m_list, CB_GETCOUNT, 0, 0) : 0;
    return count > 0 ? int(count) : 0;
}

std::wstring CNoticeLine::Line(int index) const {
    const LRESULT length = SendMessageW(m_list, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (length <= 0)
        return std::wstring();
    std::wstring line(size_t(length) + 1, L'\0');
    SendMessageW(m_list, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(&line[0]));
    line.resize(size_t(length));
    return line;
}
