// When a recording is to stop by itself: after so long recorded (pauses left out), or at a time
// of day. Typed by the user in the stop-time dialog or given on the command line; a time of day
// is local time, kept as milliseconds since 1601-01-01 (a FILETIME / 10000).
#pragma once

#include <cstdint>
#include <string>

struct StopTime {
    enum Kind { NONE, AFTER, AT };
    Kind kind = NONE;
    uint64_t afterMs = 0; // AFTER: of recording
    uint64_t atMs = 0;    // AT: local time, ms since 1601

    explicit operator bool() const { return kind != NONE; }
    bool operator==(const StopTime& o) const {
        return kind == o.kind && afterMs == o.afterMs && atMs == o.atMs;
    }
    // Milliseconds until the stop is due (0: due now), for a recording that has recorded
    // elapsedMs at local time nowMs; UINT64_MAX when there is no stop time.
    uint64_t RemainingMs(uint64_t elapsedMs, uint64_t nowMs) const;
};

// The longest duration taken: 1000 hours.
constexpr uint64_t kMaxStopAfterMs = 1000ull * 3600 * 1000;

// A duration: "1:30:00" (h:mm:ss), "1:30" (h:mm), "90m", "45s", "2h", "1h30m", "1h30m15s".
// More than zero and at most kMaxStopAfterMs; false for anything else.
bool ParseDuration(const std::wstring& text, uint64_t& ms);

// A time of day, "10:30" or "10:30:15" (the next such moment of today), or a date with it,
// "2026-12-24T10:30" (a space for the T too). Resolved against the local time nowMs; the result
// is the moment in local ms since 1601. Result: OK, BAD (not a time), PAST (already past).
enum TimeParse { TIME_OK, TIME_BAD, TIME_PAST };
TimeParse ParseStopAt(const std::wstring& text, uint64_t nowMs, uint64_t& atMs);

// Calendar conversions of local ms since 1601 (the proleptic Gregorian calendar, as FILETIME).
struct CivilTime {
    int year = 1601, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
uint64_t CivilToMs(const CivilTime& time);
CivilTime MsToCivil(uint64_t ms);

// "1:30:00" of a duration (hours not wrapped, rounded down to the second).
std::wstring DurationText(uint64_t ms);
