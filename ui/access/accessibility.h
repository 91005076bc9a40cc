// oleacc and UI Automation for screen readers, loaded at run time from the system folder (the
// import table names neither). Window thread.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <initializer_list>
#include <string>
#include <utility>

// The reference a WM_GETOBJECT answer carries (LresultFromObject); 0 when oleacc cannot be loaded.
LRESULT AccessibleResult(IAccessible* object, WPARAM wParam);
// Windows' own object for a window (CreateStdAccessibleObject), with a reference the caller
// releases; null when there is none.
IAccessible* StandardAccessible(HWND window, LONG objectId);

// Gives a control the name a screen reader reads for it, and the shortcut key that presses it,
// where the control's text does not say it (a field after its label, a button named "設定"): the
// control answers WM_GETOBJECT with Windows' own object for it under this name, for as long as
// it lives. Once for each control.
void NameForScreenReaders(HWND control, const std::wstring& name,
                          const std::wstring& shortcut = std::wstring());

// The controls of a dialog as a screen reader should read them, where Windows' own objects leave
// it out (and Wine's, which know no buttons): each button's role and checked state, and the
// names given here as (control, string), for controls whose text does not name them. Once, as
// the dialog opens.
void DescribeControlsForScreenReaders(HWND dialog,
                                      std::initializer_list<std::pair<int, UINT>> names);

// Has a screen reader say text once, now: a UI Automation notification where Windows has one
// (Windows 10 1709 and later); elsewhere the caller's WinEvents are all there is.
// activity: what it is about; a newer announcement of the same activity replaces an older one
// not yet said.
void AnnounceToScreenReaders(HWND window, const std::wstring& text,
                             const wchar_t* activity = L"Sonarix.RecordingState");

// Where Windows has Dynamic Annotation: the child of the window's client object (the status
// bar's state part) is an assertive live region for UI Automation, so Narrator speaks its
// changes; on false the annotation is cleared (before the window goes). False where there is no
// such service (Wine).
bool MarkAssertiveLiveRegion(HWND window, int child, bool on);
