// What the user reads of a recording's failures: each failure value in words, with the
// system's or the device's own text. Window thread.
#pragma once

#include "recording/recording.h"

#include <string>

// Why a recording did not start.
std::wstring StartFailureText(const RecordingFailure& failure);
// Why the capture ended a recording by itself; for a full file, why no next file was made.
std::wstring EndedText(const RecordingReport& report);
// A file that could not be completed, and why.
std::wstring NotCompletedText(const RecordingFailure& failure);
// The file full and its next one not made: the file, its folder or its name, and why.
std::wstring NextFileFailureText(const RecordingFailure& failure);
