#include "engine/sequential_naming.h"

#include <gtest/gtest.h>

#include <cwchar>

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
    EXPECT_EQ(NextSequentialName(naming, path, {}), NAMING_DONE);
    EXPECT_EQ(path, L"D:\\rec\\012K\\take012345.wav");
    EXPECT_EQ(naming.count, 12346u);

    naming = Naming(12345, L"D:\\rec", L"take", false);
    EXPECT_EQ(NextSequentialName(naming, path, {}), NAMING_DONE);
    EXPECT_EQ(path, L"D:\\rec\\take012345.wav");

    naming = Naming(7, L"D:\\rec", L"", false);
    NextSequentialName(naming, path, {});
    EXPECT_EQ(path, L"D:\\rec\\000007.wav") << "an empty prefix";

    naming = Naming(7, L"D:\\", L"会議", true);
    NextSequentialName(naming, path, {});
    EXPECT_EQ(path, L"D:\\\\000K\\会議000007.wav") << "a drive root's backslash is doubled";
}

TEST(SequentialNaming, WrapAfter999999) {
    std::wstring path;
    auto naming = Naming(999999, L"D:\\rec", L"take", true);
    EXPECT_EQ(NextSequentialName(naming, path, {}), NAMING_WRAPPED);
    EXPECT_EQ(path, L"D:\\rec\\999K\\take999999.wav");
    EXPECT_EQ(naming.count, 0u);
    EXPECT_EQ(NextSequentialName(naming, path, {}), NAMING_DONE);
    EXPECT_EQ(path, L"D:\\rec\\000K\\take000000.wav");

    // A counter above the range from a hand-edited file is used once as it is, then wraps.
    naming = Naming(1234567, L"D:\\rec", L"take", true);
    EXPECT_EQ(NextSequentialName(naming, path, {}), NAMING_WRAPPED);
    EXPECT_EQ(path, L"D:\\rec\\1234K\\take1234567.wav");
    EXPECT_EQ(naming.count, 0u);
}

TEST(SequentialNaming, NothingChangesWhenNoNameCanBeMade) {
    std::wstring path = L"kept";
    SequentialNaming off = Naming(5, L"D:\\rec", L"t", false);
    off.enabled = 0;
    EXPECT_EQ(NextSequentialName(off, path, {}), NAMING_OFF);
    EXPECT_EQ(path, L"kept");
    EXPECT_EQ(off.count, 5u);

    auto noFolder = Naming(5, L"", L"t", false);
    EXPECT_EQ(NextSequentialName(noFolder, path, {}), NAMING_NO_FOLDER);
    EXPECT_EQ(noFolder.count, 5u);
    EXPECT_EQ(path, L"kept");

    // The folder with its sub-folder may have 247 characters, as CreateDirectoryW takes them.
    auto tooLong = Naming(5, (L"C:\\" + std::wstring(240, L'f')).c_str(), L"take", true);
    EXPECT_EQ(NextSequentialName(tooLong, path, {}), NAMING_TOO_LONG); // 243 + 5 = 248
    EXPECT_EQ(tooLong.count, 5u);
    EXPECT_EQ(path, L"kept");
    auto deepest = Naming(5, (L"C:\\" + std::wstring(239, L'f')).c_str(), L"", true);
    EXPECT_EQ(NextSequentialName(deepest, path, {}), NAMING_DONE);
    EXPECT_EQ(FolderOf(path).size(), 247u);
    // The longest whole path: 259 characters.
    auto longest = Naming(5, (L"C:\\" + std::wstring(244, L'f')).c_str(), L"p", false);
    EXPECT_EQ(NextSequentialName(longest, path, {}), NAMING_DONE);
    EXPECT_EQ(path.size(), 259u);
    auto oneMore = Naming(5, (L"C:\\" + std::wstring(244, L'f')).c_str(), L"pp", false);
    EXPECT_EQ(NextSequentialName(oneMore, path, {}), NAMING_TOO_LONG);
}

// The number of a sequential path of these tests: the six digits before ".wav".
uint32_t NumberOf(const std::wstring& path) {
    uint32_t n = 0;
    for (size_t i = path.size() - 10; i < path.size() - 4; ++i)
        n = n * 10 + uint32_t(path[i] - L'0');
    return n;
}

// Numbers whose files exist are skipped, the counter moves past the number used, and the wrap
// is reported when the walk passes 999999. Nothing changes when every number is taken.
TEST(SequentialNaming, TakenNumbersAreSkipped) {
    using Taken = bool (*)(uint32_t);
    const struct {
        const char* what;
        uint32_t count;
        Taken taken;
        NamingResult result;
        uint32_t used, next;
    } cases[] = {
        {"nothing taken", 41, [](uint32_t) { return false; }, NAMING_DONE, 41, 42},
        {"the counter's own number", 41, [](uint32_t n) { return n == 41; }, NAMING_DONE, 42, 43},
        {"a run in the middle", 7, [](uint32_t n) { return n >= 7 && n <= 11 && n != 10; },
         NAMING_DONE, 10, 11},
        {"numbers below the counter do not matter", 5, [](uint32_t n) { return n < 5; },
         NAMING_DONE, 5, 6},
        {"a thousand and more, across sub-folders", 500,
         [](uint32_t n) { return n >= 500 && n <= 1600; }, NAMING_DONE, 1601, 1602},
        {"the last but one: no wrap yet", 999998, [](uint32_t) { return false; }, NAMING_DONE,
         999998, 999999},
        {"the last number taken: wraps", 999999, [](uint32_t n) { return n == 999999; },
         NAMING_WRAPPED, 0, 1},
        {"across the wrap", 999998, [](uint32_t n) { return n >= 999998 || n <= 1; },
         NAMING_WRAPPED, 2, 3},
        {"the last number used: wraps", 999990,
         [](uint32_t n) { return n >= 999990 && n < 999999; }, NAMING_WRAPPED, 999999, 0},
        {"all taken", 300, [](uint32_t) { return true; }, NAMING_ALL_TAKEN, 0, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto naming = Naming(c.count, L"D:\\rec", L"take", true);
        std::wstring path = L"kept";
        int asked = 0;
        const NamingResult result = NextSequentialName(naming, path, [&](const std::wstring& p) {
            ++asked;
            return c.taken(NumberOf(p));
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(naming.count, c.next);
        if (c.result == NAMING_ALL_TAKEN) {
            EXPECT_EQ(path, L"kept");
            EXPECT_EQ(asked, 1000000) << "each number once";
            continue;
        }
        EXPECT_EQ(NumberOf(path), c.used);
        EXPECT_FALSE(c.taken(NumberOf(path))) << "never the path of an existing file";
        wchar_t folder[8];
        std::swprintf(folder, 8, L"%03uK", c.used / 1000);
        EXPECT_EQ(FolderOf(path), L"D:\\rec\\" + std::wstring(folder));
    }
}

} // namespace
