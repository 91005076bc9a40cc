// What the user reads of a recording: each failure value and report in words, with the system's
// or the device's own text. Window thread.
#pragma once

#include "recording/recording.h"

#include <cstdint>
#include <string>

// What the device said of a failed start, pause or resume: its own text, or that it hung.
std::wstring DeviceFailureText(const RecordingFailure& failure);
// Why a recording did not start.
std::wstring StartFailureText(const RecordingFailure& failure);
// What a report tells the user; empty for what is not said (a file started or completed).
std::wstring ReportText(const RecordingReport& report);

// A length for a sentence: "1 時間 2 分 3 秒", "2 分 3 秒", "3 秒" (whole seconds); with
// tenths, a length under a minute reads "3.4 秒".
std::wstring FormatDuration(uint64_t milliseconds, bool tenths = false);
// "1 時間 2 分", "2 分", under a minute "45 秒": a time to the minute (what a drive holds).
std::wstring FormatMinutes(uint64_t milliseconds);

// A message's first sentence, to its first "。": what a screen reader says of a recording that
// stopped by itself ("…ため、録音を停止しました。").
std::wstring FirstSentence(const std::wstring& text);
