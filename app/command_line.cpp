#include "app/command_line.h"

#include <cwctype>

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = wchar_t(std::towlower(c));
    return text;
}

struct Switch {
    const wchar_t* name;
    unsigned action; // 0: takes a value
};

const Switch kSwitches[] = {
    {L"record", CommandLine::RECORD},
    {L"stop", CommandLine::STOP},
    {L"pause", CommandLine::PAUSE},
    {L"resume", CommandLine::RESUME},
    {L"marker", CommandLine::MARKER},
    {L"minimized", CommandLine::MINIMIZED},
    {L"exit", CommandLine::EXIT},
    {L"?", CommandLine::HELP},
    {L"help", CommandLine::HELP},
    {L"stop-after", 0},
    {L"stop-at", 0},
};

} // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLine line;
    for (size_t i = 0; i < arguments.size() && line.error.empty(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
            line.error = argument;
            break;
        }
        std::wstring name = Lower(argument.substr(1));
        std::wstring value;
        bool valueGiven = false;
        const size_t separator = name.find_first_of(L"=:");
        if (separator != std::wstring::npos) {
            value = argument.substr(1 + separator + 1);
            name.resize(separator);
            valueGiven = true;
        }
        const Switch* found = nullptr;
        for (const Switch& s : kSwitches)
            if (name == s.name)
                found = &s;
        if (!found || (found->action && valueGiven)) {
            line.error = argument;
            break;
        }
        if (found->action) {
            line.actions |= found->action;
            continue;
        }
        if (!valueGiven) {
            if (i + 1 >= arguments.size()) {
                line.error = argument;
                break;
            }
            value = arguments[++i];
        }
        if (line.stopKind != StopTime::NONE) { // one stop time
            line.error = argument;
        } else if (name == L"stop-after") {
            line.stopKind = StopTime::AFTER;
            if (!ParseDuration(value, line.stopAfterMs))
                line.error = argument + L" " + value;
        } else {
            // Only its form here: whether it is past is the recording copy's to say.
            uint64_t at;
            line.stopKind = StopTime::AT;
            line.stopAt = value;
            if (ParseStopAt(value, CivilToMs(CivilTime()), at) == TIME_BAD)
                line.error = argument + L" " + value;
        }
    }
    // One command for the recording at a time.
    const unsigned commands = line.actions & (CommandLine::RECORD | CommandLine::STOP |
                                              CommandLine::PAUSE | CommandLine::RESUME);
    if (line.error.empty() && (commands & (commands - 1)))
        line.error = L"/record /stop /pause /resume";
    if (line.error.empty() && line.stopKind != StopTime::NONE &&
        (line.actions & (CommandLine::STOP | CommandLine::PAUSE | CommandLine::RESUME)))
        line.error = L"/stop-after /stop-at";
    return line;
}

bool CommandLine::NeedsRunningCopy() const {
    return (actions & (STOP | PAUSE | RESUME | MARKER)) != 0 && !(actions & RECORD);
}

std::wstring CommandLine::Text() const {
    std::wstring text;
    for (const Switch& s : kSwitches)
        if (s.action && (actions & s.action) && s.action != HELP)
            text += std::wstring(text.empty() ? L"" : L" ") + L"/" + s.name;
    if (stopKind == StopTime::AFTER)
        text += (text.empty() ? L"" : L" ") + std::wstring(L"/stop-after=") +
                std::to_wstring(stopAfterMs / 1000) + L"s";
    if (stopKind == StopTime::AT)
        text += (text.empty() ? L"" : L" ") + std::wstring(L"\"/stop-at=") + stopAt + L"\"";
    return text;
}

std::vector<std::wstring> SplitArguments(const std::wstring& line) {
    std::vector<std::wstring> arguments;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t'))
            ++i;
        if (i >= line.size())
            return arguments;
        std::wstring argument;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == L'\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == L'"') {
                argument.append(slashes / 2, L'\\');
                if (slashes % 2) {
                    argument += L'"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
                    argument += L'"'; // "" inside quotes: a quote
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(slashes, L'\\');
                if (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t')))
                    argument += line[i++];
            }
        }
        arguments.push_back(argument);
    }
}
