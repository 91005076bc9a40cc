// The program's texts and message boxes: every user-visible text comes from the string table,
// and every message box has the application's name as caption and the exclamation icon.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

// A string from the string table; empty when there is none.
std::wstring LoadText(UINT id);
// A string from the string table with %1, %2, ... replaced by the arguments in turn.
std::wstring FormatText(UINT id, std::initializer_list<std::wstring> arguments);

// The system's own text for an error code (GetLastError), with the code: what a message adds
// after its own sentence.
std::wstring SystemErrorText(DWORD error);
// winmm's own text for a wave-input result code (MMRESULT), with the code; for the code of a
// failure of the audio engine (an HRESULT), its text, with the code in hexadecimal.
std::wstring DeviceErrorText(UINT result);

// The executable's file name without its extension: the caption of every message box.
std::wstring ApplicationName();

// Shows text in the program's message box (OK), owned by owner (or the active window).
void ShowMessage(HWND owner, const std::wstring& text);
void ShowMessage(HWND owner, UINT textId);
// Asks a question with Yes and No, No the default button; true for Yes.
bool AskYesNo(HWND owner, const std::wstring& text);

// Tests see the messages without a modal box: while a hook is set it receives each text and
// its MessageBox type, and returns the button pressed (IDOK, IDYES, IDNO). nullptr restores
// the box.
using MessageHook = int (*)(const std::wstring& text, UINT type);
void SetMessageHook(MessageHook hook);

// While the Windows session ends nobody is there to answer: no message box is shown, and a
// question is answered No. Window thread.
void SetMessagesQuiet(bool quiet);
bool MessagesQuiet();
