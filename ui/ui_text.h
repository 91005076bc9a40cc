// The program's texts and message boxes: every user-visible text comes from the string table,
// and every message box has the application's name as caption, an OK button and the
// exclamation icon.
#pragma once

#include <windows.h>

#include <string>

// A string from the string table; empty when there is none.
std::wstring LoadText(UINT id);

// The executable's file name without its extension: the caption of every message box.
std::wstring ApplicationName();

// Shows text in the program's message box, owned by owner (or the active window).
void ShowMessage(HWND owner, const std::wstring& text);
void ShowMessage(HWND owner, UINT textId);

// Tests see the messages without a modal box: while a hook is set it receives each text
// instead. nullptr restores the box.
using MessageHook = void (*)(const std::wstring& text);
void SetMessageHook(MessageHook hook);

// The system's text for an error code (GetLastError), for logs and test failures.
std::wstring ErrorText(DWORD error);
