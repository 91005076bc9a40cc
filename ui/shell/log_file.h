// The program's log beside its settings file (Sonarix.log): what an unattended run must leave for
// whoever looks later (a scheduled start that failed, a command from outside and its answer, the
// notices of a recording), a line each with the local time, in UTF-8. A log that cannot be
// written is no error.
#pragma once

#include <string>

// The log's path: the settings file's, with ".log" for its extension.
std::wstring LogFilePath(const std::wstring& settingsPath);
void AppendToLog(const std::wstring& settingsPath, const std::wstring& line);
