#include "recording/file_naming.h"

#include <algorithm>
#include <system_error>

#ifdef _WIN32
#include "engine/create_directory_path.h"
#endif

std::filesystem::path FileSystemPath(const std::wstring& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    std::wstring native = path;
    std::replace(native.begin(), native.end(), L'\\', L'/');
    return std::filesystem::path(native);
#endif
}

bool PathExists(const std::wstring& path) {
    std::error_code ignored;
    return std::filesystem::exists(FileSystemPath(path), ignored);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    std::error_code ignored;
    return std::filesystem::absolute(FileSystemPath(a), ignored).lexically_normal() ==
           std::filesystem::absolute(FileSystemPath(b), ignored).lexically_normal();
}

bool MakeFolders(const std::wstring& folder, std::wstring& made, uint32_t& error) {
    if (folder.empty() || PathExists(folder))
        return true;
    made = folder;
#ifdef _WIN32
    unsigned long code = 0;
    if (CreateDirectoryPath(folder, &code))
        return true;
    error = code;
#else
    std::error_code code;
    if (std::filesystem::create_directories(FileSystemPath(folder), code) || !code)
        return true;
    error = uint32_t(code.value());
#endif
    made.clear();
    return false;
}

bool RemoveMade(const std::wstring& file, const std::wstring& madeFolder) {
    std::error_code error;
    if (!file.empty())
        std::filesystem::remove(FileSystemPath(file), error);
    std::error_code ignored;
    if (!madeFolder.empty())
        std::filesystem::remove(FileSystemPath(madeFolder), ignored);
    return !error;
}

RecordingFailure NextSequentialPath(SequentialNaming& naming, std::wstring& path,
                                    std::wstring& madeFolder) {
    switch (NextSequentialName(naming, path, PathExists)) {
    case NAMING_OFF:
    case NAMING_NO_FOLDER:
        return Failed(STEP_NO_FOLDER);
    case NAMING_TOO_LONG:
        return Failed(STEP_NAME_TOO_LONG, 0, naming.folder);
    case NAMING_ALL_TAKEN:
        return Failed(STEP_ALL_TAKEN, 0, naming.folder);
    case NAMING_BAD_NAME:
        return Failed(STEP_BAD_NAME, 0, naming.folder);
    case NAMING_WRAPPED:
    case NAMING_DONE:
        break;
    }
    uint32_t code = 0;
    const std::wstring folder = FolderOf(path);
    if (!MakeFolders(folder, madeFolder, code))
        return Failed(STEP_FOLDER, code, folder);
    return RecordingFailure();
}

std::wstring NumberedName(const std::wstring& name, int n) {
    const size_t slash = name.find_last_of(L"\\/");
    const size_t dot = name.rfind(L'.');
    const size_t stem = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)
                            ? dot
                            : name.size();
    return name.substr(0, stem) + L" (" + std::to_wstring(n) + L")" + name.substr(stem);
}
