// Creating the folders of a target path (run under Wine).
#include "engine/create_directory_path.h"
#include "tests/support/test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

TEST(CreateDirectoryPath, EveryMissingLevelIsCreated) {
    TempDir dir;
    const std::wstring base = dir.Path().wstring();
    EXPECT_EQ(CreateDirectoryPath(base + L"\\会議\\2026\\000K"), 1);
    EXPECT_TRUE(fs::is_directory(dir / fs::u8path(u8"会議") / "2026" / "000K"));
    EXPECT_EQ(CreateDirectoryPath(base + L"\\会議\\2026\\000K"), 1) << "existing";
    // A drive root's doubled backslash is accepted.
    EXPECT_EQ(CreateDirectoryPath(base + L"\\\\x"), 1);
}

TEST(CreateDirectoryPath, WhatCannotBeCreated) {
    TempDir dir;
    const std::wstring base = dir.Path().wstring();
    WriteFileBytes(dir / "file", {1});
    EXPECT_EQ(CreateDirectoryPath(base + L"\\file\\below"), 0) << "a file in the middle";
    EXPECT_EQ(CreateDirectoryPath(base + L"\\file"), 1) << "a file under the full name counts";
    // A drive letter that no drive has.
    wchar_t drive = 0;
    const DWORD drives = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y' && !drive; ++letter)
        if (!(drives & (1u << (letter - L'A'))))
            drive = letter;
    ASSERT_NE(drive, 0);
    EXPECT_EQ(CreateDirectoryPath(std::wstring(1, drive) + L":\\rec\\000K"), 0);
}

} // namespace
