// The switches and the stop time: every form on one table, with what each is taken as (or the
// exit code a bad one ends with); the stop time's rule against the recording's time and the
// local time.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::wstring>;

TEST(CommandLine, EveryFormOnOneTable) {
    const unsigned R = CommandLine::RECORD, X = CommandLine::EXIT, M = CommandLine::MINIMIZED;
    const struct {
        Args args;
        bool ok;
        unsigned actions;
        StopTime::Kind kind;
        uint64_t afterMs;
    } cases[] = {
        {{}, true, 0, StopTime::NONE, 0},
        {{L"/record"}, true, R, StopTime::NONE, 0},
        {{L"-RECORD", L"/Exit"}, true, R | X, StopTime::NONE, 0},
        {{L"/record", L"/stop-after", L"1:30:00", L"/exit"}, true, R | X, StopTime::AFTER, 5400000},
        {{L"/record", L"/stop-after", L"1:30"}, true, R, StopTime::AFTER, 5400000},
        {{L"/stop-after=90m"}, true, 0, StopTime::AFTER, 5400000},
        {{L"/stop-after:45s"}, true, 0, StopTime::AFTER, 45000},
        {{L"/stop-after", L"2h"}, true, 0, StopTime::AFTER, 7200000},
        {{L"/stop-after", L"1h30m15s"}, true, 0, StopTime::AFTER, 5415000},
        {{L"/stop-after", L"1000:00:00"}, true, 0, StopTime::AFTER, kMaxStopAfterMs},
        {{L"/record", L"/stop-at", L"10:30", L"/minimized"}, true, R | M, StopTime::AT, 0},
        {{L"/stop-at", L"2026-12-24T10:30"}, true, 0, StopTime::AT, 0},
        {{L"/stop-at=2026-12-24 10:30:15"}, true, 0, StopTime::AT, 0},
        {{L"/stop"}, true, CommandLine::STOP, StopTime::NONE, 0},
        {{L"/pause"}, true, CommandLine::PAUSE, StopTime::NONE, 0},
        {{L"/resume"}, true, CommandLine::RESUME, StopTime::NONE, 0},
        {{L"/marker"}, true, CommandLine::MARKER, StopTime::NONE, 0},
        {{L"/?"}, true, CommandLine::HELP, StopTime::NONE, 0},
        // Bad: an unknown switch, a word without a switch, a missing or bad value.
        {{L"/frobnicate"}, false, 0, StopTime::NONE, 0},
        {{L"record"}, false, 0, StopTime::NONE, 0},
        {{L"/"}, false, 0, StopTime::NONE, 0},
        {{L"/record=1"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"0m"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"-5m"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"90"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"30m1h"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"1m1m"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"1:60"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"1:5"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"1001:00:00"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-after", L"99999999999s"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-at", L"24:00"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-at", L"10:30pm"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-at", L"2026-02-30T10:30"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-at", L"2026-12-24"}, false, 0, StopTime::NONE, 0},
        {{L"/stop-at", L"26-12-24T10:30"}, false, 0, StopTime::NONE, 0},
        // Conflicts: two stop times, two commands for the recording, a stop time with /stop.
        {{L"/stop-after", L"5m", L"/stop-at", L"10:30"}, false, 0, StopTime::NONE, 0},
        {{L"/record", L"/stop"}, false, 0, StopTime::NONE, 0},
        {{L"/pause", L"/resume"}, false, 0, StopTime::NONE, 0},
        {{L"/stop", L"/stop-after", L"5m"}, false, 0, StopTime::NONE, 0},
    };
    for (const auto& c : cases) {
        std::wstring all;
        for (const auto& a : c.args)
            all += a + L" ";
        SCOPED_TRACE(testing::Message() << std::string(all.begin(), all.end()));
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.error.empty(), c.ok) << std::string(line.error.begin(), line.error.end());
        if (!c.ok)
            continue;
        EXPECT_EQ(line.actions, c.actions);
        EXPECT_EQ(line.stopKind, c.kind);
        EXPECT_EQ(line.stopAfterMs, c.afterMs);
        // What a second copy hands over is read back as the same switches.
        const CommandLine again = ParseCommandLine(SplitArguments(line.Text()));
        EXPECT_TRUE(again.error.empty());
        EXPECT_EQ(again.actions, line.actions & ~CommandLine::HELP);
        EXPECT_EQ(again.stopAfterMs, line.stopAfterMs);
        EXPECT_EQ(again.stopAt, line.stopAt);
    }
    // Only stop, pause, resume and marker need a copy running; with /record they start one.
    EXPECT_TRUE(ParseCommandLine({L"/marker"}).NeedsRunningCopy());
    EXPECT_FALSE(ParseCommandLine({L"/record", L"/marker"}).NeedsRunningCopy());
    EXPECT_FALSE(ParseCommandLine({L"/stop-after", L"5m"}).NeedsRunningCopy());
}

// As Windows splits a command line: quotes group, backslashes before a quote halve.
TEST(CommandLine, SplitsAsWindowsDoes) {
    EXPECT_EQ(SplitArguments(L"  /a   \"b c\"\td"), (Args{L"/a", L"b c", L"d"}));
    EXPECT_EQ(SplitArguments(L"a\\\\\"b c\""), (Args{L"a\\b c"}));
    EXPECT_EQ(SplitArguments(L"a\\\"b"), (Args{L"a\"b"}));
    EXPECT_EQ(SplitArguments(L"C:\\x\\ \"\""), (Args{L"C:\\x\\", L""}));
}

// A time of day today, or a date; one already past is refused; the rule counts the recording's
// time for a duration (pauses are not in it) and the local time for a time of day.
TEST(StopTime, ResolvedAndDue) {
    CivilTime now;
    now.year = 2026, now.month = 12, now.day = 9, now.hour = 10, now.minute = 0;
    const uint64_t nowMs = CivilToMs(now);
    const CivilTime back = MsToCivil(nowMs);
    EXPECT_EQ(back.year, 2026);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 9);
    EXPECT_EQ(back.hour, 10);
    EXPECT_EQ(CivilToMs(CivilTime()), 0u) << "1601-01-01 is 0, as FILETIME";
    CivilTime leap;
    leap.year = 2024, leap.month = 2, leap.day = 29;
    EXPECT_EQ(MsToCivil(CivilToMs(leap)).day, 29);

    uint64_t at = 0;
    EXPECT_EQ(ParseStopAt(L"10:30", nowMs, at), TIME_OK);
    EXPECT_EQ(at - nowMs, 30u * 60000);
    EXPECT_EQ(ParseStopAt(L"09:59:59", nowMs, at), TIME_PAST);
    EXPECT_EQ(ParseStopAt(L"10:00", nowMs, at), TIME_PAST) << "now is past too";
    EXPECT_EQ(ParseStopAt(L"2026-12-10T09:00", nowMs, at), TIME_OK);
    EXPECT_EQ(at - nowMs, 23u * 3600000);
    EXPECT_EQ(ParseStopAt(L"2025-12-24T10:30", nowMs, at), TIME_PAST);
    EXPECT_EQ(ParseStopAt(L"2024-02-29T00:00", nowMs, at), TIME_PAST);
    EXPECT_EQ(ParseStopAt(L"2025-02-29T00:00", nowMs, at), TIME_BAD);

    StopTime after;
    after.kind = StopTime::AFTER;
    after.afterMs = 90 * 60000;
    EXPECT_EQ(after.RemainingMs(0, nowMs), 90u * 60000);
    EXPECT_EQ(after.RemainingMs(60 * 60000, nowMs + 5 * 3600000), 30u * 60000)
        << "hours of the local time paused do not count";
    EXPECT_EQ(after.RemainingMs(90 * 60000, nowMs), 0u);
    EXPECT_EQ(after.RemainingMs(91 * 60000, nowMs), 0u);
    StopTime atTime;
    atTime.kind = StopTime::AT;
    atTime.atMs = nowMs + 60000;
    EXPECT_EQ(atTime.RemainingMs(0, nowMs), 60000u);
    EXPECT_EQ(atTime.RemainingMs(0, nowMs + 60000), 0u);
    EXPECT_EQ(StopTime().RemainingMs(0, nowMs), UINT64_MAX);
    EXPECT_EQ(DurationText(5415999), L"1:30:15");
    EXPECT_EQ(DurationText(1000ull * 3600 * 1000), L"1000:00:00");
}

} // namespace
