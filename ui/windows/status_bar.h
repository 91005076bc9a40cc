// CStatusBar: the main window's four-part status bar: the recording state, the elapsed time and
// the two held levels. Setting a common status bar's text repaints the bar at once, which ten
// times a second for the time, and several times a second for the levels of speech, was the
// window's largest cost while recording. So those three parts are drawn by the window
// (owner-drawn): a new text goes straight onto the part's background as the bar paints it, and
// the bar's own repaints draw the same text, as the bar draws its texts. The bar still takes
// and gives every part's text with its own messages (SB_SETTEXT, SB_GETTEXT), so whoever sets
// a text, and whatever reads the bar (a screen reader), sees a plain status bar.
#pragma once

#include "engine/win32_handles.h"
#include "ui/access/accessible_object.h"

#include <functional>
#include <memory>
#include <string>

// For screen readers the bar is a status bar of four texts, served by the program (Wine has no
// object for a status bar; Windows' own reads the same texts).
class CStatusBar : public IAccessibleSource {
public:
    static constexpr int kParts = 4;
    static constexpr int kAlertChild = kParts + 1;

    // The bar may outlive this object (its parent destroys it later): it lets go of it.
    ~CStatusBar() override;

    // The bar at the bottom of parent, its parts' right edges 120, 200 and 270 pixels at 100 %,
    // following the display's scale.
    bool Create(HWND parent, UINT id);
    HWND Handle() const { return m_hWnd; }

    // Sets a part's text; nothing while the bar does not exist.
    void SetText(int part, const std::wstring& text);
    std::wstring Text(int part) const;
    // The bar asks its parent to draw a part drawn straight: true when it was one of those.
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    // Called with the part whose text drawn straight changed (the time, a level).
    void WhenTextChanges(std::function<void(int part)> changed) { m_changed = std::move(changed); }

    // The recording's state as a screen reader hears it ("録音を停止しました。" where the state
    // part is empty): the state part's name while it shows no text, and the name of the bar's
    // alert (its last child, over the state part), which every screen reader speaks when it is
    // raised. Screen readers are told.
    void SetSpokenState(const std::wstring& said);

    HWND Window() const override { return m_hWnd; }
    int ChildCount() const override { return kAlertChild; }
    AccessibleItem Describe(int child) const override;
    RECT Bounds(int child) const override;

private:
    static bool DrawnStraight(int part) { return part > 0 && part < kParts; }
    static LRESULT CALLBACK BarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self);
    void TakeText(int part, const wchar_t* text);
    LRESULT GiveText(int part, wchar_t* text) const;
    void DrawStraight(int part);
    bool TakeBackground(HDC screen);
    void PaintText(HDC dc, const RECT& inside, int part) const;

    HWND m_hWnd = nullptr;
    std::wstring m_text[kParts];
    std::wstring m_spoken;
    std::function<void(int part)> m_changed;
    std::unique_ptr<CAccessibleServer> m_server;
    // The bar without the texts of the parts drawn straight, as the bar paints it (borders, the
    // theme's panes), with where it was taken: each part's rectangle in the bar and the inside
    // of its border.
    std::unique_ptr<MemoryPicture> m_background;
    // A part with its new text, before it goes to the screen: kept from one text to the next,
    // since making a picture costs the system a look at the displays.
    std::unique_ptr<MemoryPicture> m_composed;
    RECT m_bound[kParts] = {};
    HFONT m_font = nullptr; // the bar's, as the background was taken
    RECT m_inside[kParts] = {};
    bool m_takingBackground = false;
};
