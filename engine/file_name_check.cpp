#include "engine/file_name_check.h"

#include <cwctype>

namespace {

bool IsReservedDeviceName(std::wstring base) {
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (auto& c : base)
        c = wchar_t(std::towupper(c));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL")
        return true;
    return base.size() == 4 &&
           (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

bool IsStorableComponent(const std::wstring& part) {
    if (part.empty() || part == L"." || part == L"..")
        return !part.empty();
    for (wchar_t c : part)
        if (c < 32 || std::wstring(L"<>\"|?*:").find(c) != std::wstring::npos)
            return false;
    if (part.back() == L'.' || part.back() == L' ')
        return false;
    return !IsReservedDeviceName(part.substr(0, part.find(L'.')));
}

} // namespace

bool IsStorableFileName(const std::wstring& path) {
    size_t at = 0;
    if (path.size() >= 2 && path[1] == L':' && std::iswalpha(path[0]))
        at = 2; // the drive
    else if (path.compare(0, 2, L"\\\\") == 0)
        at = 2; // a UNC path: server and share follow as components
    if (at < path.size() && (path[at] == L'\\' || path[at] == L'/'))
        ++at;
    if (at >= path.size())
        return false;
    while (at <= path.size()) {
        const size_t end = path.find_first_of(L"\\/", at);
        const std::wstring part =
            path.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
        const bool last = end == std::wstring::npos;
        if (part.empty() ? last : !IsStorableComponent(part))
            return false; // an empty last part: the path names a folder, not a file
        if (last)
            break;
        at = end + 1;
    }
    return true;
}

bool IsUsablePrefix(const std::wstring& prefix) {
    if (prefix.empty())
        return true;
    if (prefix.find_first_of(L"\\/") != std::wstring::npos || prefix.back() == L'.' ||
        prefix.back() == L' ' || IsReservedDeviceName(prefix.substr(0, prefix.find(L'.'))))
        return false;
    return IsStorableComponent(prefix + L"000000.wav");
}
