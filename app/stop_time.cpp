#include "app/stop_time.h"

#include <cwchar>

namespace {

constexpr uint64_t kDayMs = 86400000ull;

// Days from 1601-01-01 to the date (Howard Hinnant's days_from_civil, shifted to 1601).
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 584694; // 1601-01-01 is day 584694 from 0000-03-01
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads decimal digits at text[i]: at least one, at most maxDigits.
bool Number(const std::wstring& text, size_t& i, size_t maxDigits, uint64_t& value) {
    const size_t start = i;
    value = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && i - start < maxDigits)
        value = value * 10 + uint64_t(text[i++] - L'0');
    return i > start && (i == text.size() || text[i] < L'0' || text[i] > L'9');
}

bool Expect(const std::wstring& text, size_t& i, wchar_t c) {
    if (i >= text.size() || text[i] != c)
        return false;
    ++i;
    return true;
}

// "h:mm" or "h:mm:ss", minutes and seconds of two digits and below 60; hours up to maxHours.
bool ClockText(const std::wstring& text, size_t& i, uint64_t maxHours, uint64_t& h, uint64_t& m,
               uint64_t& s) {
    s = 0;
    size_t mark;
    if (!Number(text, i, 4, h) || h > maxHours || !Expect(text, i, L':'))
        return false;
    mark = i;
    if (!Number(text, i, 2, m) || i - mark != 2 || m > 59)
        return false;
    if (i < text.size()) {
        if (!Expect(text, i, L':'))
            return false;
        mark = i;
        if (!Number(text, i, 2, s) || i - mark != 2 || s > 59)
            return false;
    }
    return i == text.size();
}

} // namespace

uint64_t StopTime::RemainingMs(uint64_t elapsedMs, uint64_t nowMs) const {
    switch (kind) {
    case AFTER:
        return elapsedMs >= afterMs ? 0 : afterMs - elapsedMs;
    case AT:
        return nowMs >= atMs ? 0 : atMs - nowMs;
    case NONE:
        break;
    }
    return UINT64_MAX;
}

bool ParseDuration(const std::wstring& text, uint64_t& ms) {
    uint64_t total = 0;
    if (text.find(L':') != std::wstring::npos) {
        size_t i = 0;
        uint64_t h, m, s;
        if (!ClockText(text, i, 1000, h, m, s))
            return false;
        total = ((h * 60 + m) * 60 + s) * 1000;
    } else {
        // Units in falling order, each at most once: "1h30m15s".
        size_t i = 0;
        int lastUnit = -1;
        if (text.empty())
            return false;
        while (i < text.size()) {
            uint64_t value;
            if (!Number(text, i, 7, value) || i >= text.size())
                return false;
            const wchar_t unit = text[i++];
            const int rank = unit == L'h' || unit == L'H'   ? 0
                             : unit == L'm' || unit == L'M' ? 1
                             : unit == L's' || unit == L'S' ? 2
                                                            : -1;
            if (rank <= lastUnit)
                return false;
            lastUnit = rank;
            static const uint64_t kUnitMs[] = {3600000, 60000, 1000};
            total += value * kUnitMs[rank];
            if (total > kMaxStopAfterMs)
                return false;
        }
    }
    if (total == 0 || total > kMaxStopAfterMs)
        return false;
    ms = total;
    return true;
}

TimeParse ParseStopAt(const std::wstring& text, uint64_t nowMs, uint64_t& atMs) {
    CivilTime time = MsToCivil(nowMs);
    size_t i = 0;
    const size_t t = text.find_first_of(L"Tt ");
    if (t != std::wstring::npos) {
        uint64_t y, mo, d;
        if (!Number(text, i, 4, y) || i != 4 || !Expect(text, i, L'-') || !Number(text, i, 2, mo) ||
            i != 7 || !Expect(text, i, L'-') || !Number(text, i, 2, d) || i != 10 || i != t)
            return TIME_BAD;
        if (y < 1601 || mo < 1 || mo > 12 || d < 1 || d > uint64_t(DaysInMonth(int(y), int(mo))))
            return TIME_BAD;
        time.year = int(y);
        time.month = int(mo);
        time.day = int(d);
        ++i;
    }
    uint64_t h, m, s;
    if (!ClockText(text, i, 23, h, m, s))
        return TIME_BAD;
    time.hour = int(h);
    time.minute = int(m);
    time.second = int(s);
    atMs = CivilToMs(time);
    return atMs <= nowMs ? TIME_PAST : TIME_OK;
}

uint64_t CivilToMs(const CivilTime& t) {
    const int64_t days = DaysFromCivil(t.year, t.month, t.day);
    return uint64_t(days) * kDayMs +
           ((uint64_t(t.hour) * 60 + uint64_t(t.minute)) * 60 + uint64_t(t.second)) * 1000;
}

CivilTime MsToCivil(uint64_t ms) {
    // civil_from_days, from 1601-01-01.
    const int64_t z = int64_t(ms / kDayMs) + 584694;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = int(doy - (153 * mp + 2) / 5 + 1);
    t.month = int(mp < 10 ? mp + 3 : mp - 9);
    t.year = int(yoe + era * 400 + (t.month <= 2));
    const uint64_t inDay = ms % kDayMs / 1000;
    t.hour = int(inDay / 3600);
    t.minute = int(inDay / 60 % 60);
    t.second = int(inDay % 60);
    return t;
}

std::wstring DurationText(uint64_t ms) {
    const uint64_t s = ms / 1000;
    wchar_t text[32];
    std::swprintf(text, 32, L"%llu:%02u:%02u", static_cast<unsigned long long>(s / 3600),
                  unsigned(s / 60 % 60), unsigned(s % 60));
    return text;
}
