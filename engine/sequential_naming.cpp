#include "engine/sequential_naming.h"

#include "engine/file_name_check.h"

#include <cwchar>

namespace {

// The counter is formatted like "%0<width>d" of a signed number, as it always has been: a
// counter above 2^31 shows as negative. Numbers of the page's range are plain digits.
std::wstring Format(uint32_t value, int width) {
    if (int32_t(value) < 0) {
        wchar_t text[32];
        std::swprintf(text, 32, width == 6 ? L"%06d" : L"%03d", int32_t(value));
        return text;
    }
    wchar_t digits[16];
    int n = 0;
    do {
        digits[n++] = wchar_t(L'0' + value % 10);
        value /= 10;
    } while (value);
    std::wstring text(size_t(n < width ? width - n : 0), L'0');
    while (n)
        text += digits[--n];
    return text;
}

std::wstring FolderFor(const SequentialNaming& naming, uint32_t number) {
    if (!naming.subFolders)
        return naming.folder;
    return naming.folder + L"\\" + Format(number / 1000, 3) + L"K";
}

std::wstring PathFor(const SequentialNaming& naming, uint32_t number) {
    std::wstring path = FolderFor(naming, number);
    path += L'\\';
    path += naming.prefix;
    path += Format(number, 6);
    path += L".wav";
    return path;
}

// The number after this one: 0 after 999999 (and after any larger one).
uint32_t After(uint32_t number, bool& wrapped) {
    if (number >= kMaxSequenceNumber) {
        wrapped = true;
        return 0;
    }
    return number + 1;
}

} // namespace

// 1. No name when naming is off or has no folder, or its paths would be too long. 2. Walk the
// numbers from the counter, at most once round, until one whose path is free. 3. Move the
// counter past it.
NamingResult NextSequentialName(SequentialNaming& naming, std::wstring& out,
                                const PathTaken& taken) {
    if (!naming.enabled)
        return NAMING_OFF;
    if (naming.folder.empty())
        return NAMING_NO_FOLDER;
    // Every number of the range gives paths of the same lengths; a counter beyond the range
    // (only a hand-edited file gives one) may give longer ones and counts as one more number.
    auto tooLong = [&](uint32_t n) {
        return FolderFor(naming, n).size() > kMaxFolderChars ||
               PathFor(naming, n).size() > kMaxPathChars;
    };
    uint32_t number = naming.count;
    if (tooLong(number) || tooLong(0))
        return NAMING_TOO_LONG;
    if (!IsUsablePrefix(naming.prefix) || !IsStorableFileName(PathFor(naming, number)))
        return NAMING_BAD_NAME;
    const uint32_t numbers = kMaxSequenceNumber + 1 + (number > kMaxSequenceNumber ? 1 : 0);
    bool wrapped = false;
    std::wstring path = PathFor(naming, number);
    for (uint32_t tried = 1; taken && taken(path); ++tried) {
        if (tried == numbers)
            return NAMING_ALL_TAKEN;
        number = After(number, wrapped);
        path = PathFor(naming, number);
    }

    out = path;
    naming.count = After(number, wrapped);
    return wrapped ? NAMING_WRAPPED : NAMING_DONE;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
