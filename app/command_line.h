// The program's switches. With none it is the plain recorder; with some it records, stops by
// itself, ends when done, or hands them to the copy already running on the same settings file.
//   /record              start at once, into the next name as Start would
//   /stop-after DURATION stop after so long recorded: 1:30:00, 90m, 45s
//   /stop-at TIME        stop at a time of day: 10:30, 2026-12-24T10:30
//   /minimized           the window starts minimised
//   /exit                end once the recording started here has stopped and its file is complete
//   /stop /pause /resume /marker
//                        for the copy running: stop, pause, resume, or mark its recording
//   /?                   the switches, in a box
// A switch is also taken with "-" for "/", in any case, and a value also after "=" or ":".
#pragma once

#include "app/stop_time.h"

#include <cstdint>
#include <string>
#include <vector>

// What a scheduler or a script reads from the program's end.
enum ExitCode {
    EXIT_DONE = 0,       // done (a recording started and stopped, or the command acted)
    EXIT_REFUSED = 1,    // refused: nothing to stop, already recording, a start that failed
    EXIT_NO_COPY = 2,    // no copy of the program runs on this settings file
    EXIT_BAD_SWITCH = 3, // a switch it does not know, or a bad value
};

struct CommandLine {
    enum Action : unsigned {
        RECORD = 1u << 0,
        STOP = 1u << 1,
        PAUSE = 1u << 2,
        RESUME = 1u << 3,
        MARKER = 1u << 4,
        MINIMIZED = 1u << 5,
        EXIT = 1u << 6,
        HELP = 1u << 7,
    };
    unsigned actions = 0;
    // The stop time as given: a duration (afterMs) or the text of a time of day, resolved only
    // where it is used (the copy that records, at its own clock).
    StopTime::Kind stopKind = StopTime::NONE;
    uint64_t stopAfterMs = 0;
    std::wstring stopAt;
    // What was not understood (empty when everything was).
    std::wstring error;

    bool Has(Action action) const { return (actions & action) != 0; }
    bool Empty() const { return actions == 0 && stopKind == StopTime::NONE && error.empty(); }
    // Acts only on a running copy: stop, pause, resume or marker alone.
    bool NeedsRunningCopy() const;
    // The switches again, as one line for the running copy (the arguments quoted where needed).
    std::wstring Text() const;
};

// The arguments after the program's name.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);
// Splits a line as Windows' CommandLineToArgvW does for arguments (not the program's name):
// spaces separate, double quotes group, 2n backslashes before a quote are n, 2n+1 an escaped quote.
std::vector<std::wstring> SplitArguments(const std::wstring& line);
