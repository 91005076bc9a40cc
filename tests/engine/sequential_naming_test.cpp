#include "engine/sequential_naming.h"

#include <gtest/gtest.h>

namespace {

SequentialNaming Naming(uint32_t count, const wchar_t* folder, const wchar_t* prefix,
                        bool subFolders) {
    SequentialNaming naming;
    naming.enabled = 1;
    naming.count = count;
    naming.folder = folder;
    naming.prefix = prefix;
    naming.subFolders = subFolders;
    return naming;
}

TEST(SequentialNaming, PathsOfTheExamples) {
    std::wstring path;
    auto naming = Naming(12345, L"D:\\rec", L"take", true);
    EXPECT_EQ(NextSequentialName(naming, path), NAMING_DONE);
    EXPECT_EQ(path, L"D:\\rec\\012K\\take012345.wav");
    EXPECT_EQ(naming.count, 12346u);

    naming = Naming(12345, L"D:\\rec", L"take", false);
    EXPECT_EQ(NextSequentialName(naming, path), NAMING_DONE);
    EXPECT_EQ(path, L"D:\\rec\\take012345.wav");

    naming = Naming(7, L"D:\\rec", L"", false);
    NextSequentialName(naming, path);
    EXPECT_EQ(path, L"D:\\rec\\000007.wav") << "an empty prefix";

    naming = Naming(7, L"D:\\", L"会議", true);
    NextSequentialName(naming, path);
    EXPECT_EQ(path, L"D:\\\\000K\\会議000007.wav") << "a drive root's backslash is doubled";
}

TEST(SequentialNaming, WrapAfter999999) {
    std::wstring path;
    auto naming = Naming(999999, L"D:\\rec", L"take", true);
    EXPECT_EQ(NextSequentialName(naming, path), NAMING_WRAPPED);
    EXPECT_EQ(path, L"D:\\rec\\999K\\take999999.wav");
    EXPECT_EQ(naming.count, 0u);
    EXPECT_EQ(NextSequentialName(naming, path), NAMING_DONE);
    EXPECT_EQ(path, L"D:\\rec\\000K\\take000000.wav");

    // A counter above the range from a hand-edited file is used once as it is, then wraps.
    naming = Naming(1234567, L"D:\\rec", L"take", true);
    EXPECT_EQ(NextSequentialName(naming, path), NAMING_WRAPPED);
    EXPECT_EQ(path, L"D:\\rec\\1234K\\take1234567.wav");
    EXPECT_EQ(naming.count, 0u);
}

TEST(SequentialNaming, NothingChangesWhenNoNameCanBeMade) {
    std::wstring path = L"kept";
    SequentialNaming off = Naming(5, L"D:\\rec", L"t", false);
    off.enabled = 0;
    EXPECT_EQ(NextSequentialName(off, path), NAMING_OFF);
    EXPECT_EQ(path, L"kept");
    EXPECT_EQ(off.count, 5u);

    auto noFolder = Naming(5, L"", L"t", false);
    EXPECT_EQ(NextSequentialName(noFolder, path), NAMING_NO_FOLDER);
    EXPECT_EQ(noFolder.count, 5u);
    EXPECT_EQ(path, L"kept");

    // 250 characters of folder: with the sub-folder and the file name it passes 259.
    auto tooLong = Naming(5, (L"C:\\" + std::wstring(247, L'f')).c_str(), L"take", true);
    EXPECT_EQ(NextSequentialName(tooLong, path), NAMING_TOO_LONG);
    EXPECT_EQ(tooLong.count, 5u);
    EXPECT_EQ(path, L"kept");
    // The longest that fits: 259 characters in all.
    auto longest = Naming(5, (L"C:\\" + std::wstring(245, L'f')).c_str(), L"", false);
    EXPECT_EQ(NextSequentialName(longest, path), NAMING_DONE);
    EXPECT_EQ(path.size(), 259u);
    auto oneMore = Naming(5, (L"C:\\" + std::wstring(246, L'f')).c_str(), L"", false);
    EXPECT_EQ(NextSequentialName(oneMore, path), NAMING_TOO_LONG);
}

} // namespace
