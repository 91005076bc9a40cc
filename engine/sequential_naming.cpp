#include "engine/sequential_naming.h"

#include <cwchar>

namespace {

// The counter is formatted with "%d" like a signed number, as it always has been: a counter
// from a hand-edited file above 2^31 shows as negative. Numbers of the page's range are plain.
std::wstring Format(const wchar_t* format, uint32_t value) {
    wchar_t text[32];
    std::swprintf(text, 32, format, int32_t(value));
    return text;
}

} // namespace

NamingResult NextSequentialName(SequentialNaming& naming, std::wstring& out) {
    if (!naming.enabled)
        return NAMING_OFF;
    if (naming.folder.empty())
        return NAMING_NO_FOLDER;
    std::wstring directory = naming.folder;
    if (naming.subFolders)
        directory += L"\\" + Format(L"%03dK", naming.count / 1000);
    const std::wstring path =
        directory + L"\\" + naming.prefix + Format(L"%06d", naming.count) + L".wav";
    if (directory.size() > kMaxPathChars || path.size() > kMaxPathChars)
        return NAMING_TOO_LONG;

    out = path;
    if (++naming.count > kMaxSequenceNumber) {
        naming.count = 0;
        return NAMING_WRAPPED;
    }
    return NAMING_DONE;
}
