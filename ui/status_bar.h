// CStatusBar: the main window's four-part status bar: the recording state, the elapsed time and
// the two held levels. Setting a common status bar's text repaints the bar at once, which ten
// times a second was the window's largest cost while recording; so the elapsed time's part is
// drawn by the window (owner-drawn): a new time goes straight onto the part's background as the
// bar paints it, and the bar's own repaints draw the same text, as the bar draws its texts.
#pragma once

#include "engine/win32_handles.h"

#include <memory>
#include <string>

class CStatusBar {
public:
    static constexpr int kElapsedPart = 1;

    // The bar at the bottom of parent, its parts' right edges 120, 200 and 270 pixels at 100 %,
    // following the display's scale.
    bool Create(HWND parent, UINT id);
    HWND Handle() const { return m_hWnd; }

    // Sets a part's text; nothing while the bar does not exist.
    void SetText(int part, const std::wstring& text);
    std::wstring Text(int part) const;
    // The bar asks its parent to draw the elapsed time's part: true when it was that.
    bool OnDrawItem(const DRAWITEMSTRUCT& item);

private:
    void DrawElapsedStraight();
    bool TakeBackground(HDC screen);
    void DrawElapsed(HDC dc, const RECT& inside) const;

    HWND m_hWnd = nullptr;
    std::wstring m_elapsed;
    // The part without its text, as the bar paints it (its border, the theme's pane), with
    // where it was taken: the part's rectangle in the bar and the inside of its border.
    std::unique_ptr<MemoryPicture> m_background;
    // The part with the new time, before it goes to the screen: kept from one time to the next,
    // since making a picture costs the system a look at the displays.
    std::unique_ptr<MemoryPicture> m_composed;
    RECT m_bound = {};
    RECT m_inside = {};
    bool m_takingBackground = false;
};
