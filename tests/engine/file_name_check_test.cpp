#include "engine/file_name_check.h"
#include "engine/sequential_naming.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNameCheck, NamesWindowsStoresAsTyped) {
    for (const wchar_t* name :
         {L"a.wav", L"C:\\rec\\take000001.wav", L"rec\\a.wav", L"..\\a.wav",
          L"\\\\server\\share\\a.wav", L"D:\\\\000K\\a.wav", L"C:/rec/a.wav", L"会議.wav",
          L"nulla.wav", L"CONSOLE.wav", L"COM10.wav", L"x:a.wav"})
        EXPECT_TRUE(IsStorableFileName(name)) << std::wstring(name).size() << " chars: accepted";
}

TEST(FileNameCheck, NamesWindowsWouldNotStoreAsTyped) {
    for (const wchar_t* name : {L"",
                                L"NUL",
                                L"nul.wav",
                                L"C:\\rec\\CON.wav",
                                L"C:\\rec\\com1",
                                L"lpt9.txt.wav",
                                L"C:\\AUX\\a.wav",
                                L"a?.wav",
                                L"a*.wav",
                                L"a<b.wav",
                                L"a|b.wav",
                                L"a\"b.wav",
                                L"C:\\rec\\x:y.wav",
                                L"take.",
                                L"take ",
                                L"C:\\rec\\",
                                L"C:",
                                L"C:\\",
                                L"rec.\\a.wav",
                                L"a\tb.wav"})
        EXPECT_FALSE(IsStorableFileName(name)) << std::wstring(name).size() << " chars: refused";
}

// Sequential prefixes through the one check and the path the naming builds: a usable prefix
// gives a plain file inside the folder; any other gives no name at all.
TEST(FileNameCheck, SequentialPrefixes) {
    const struct {
        const wchar_t* prefix;
        bool usable;
    } cases[] = {
        {L"", true},       {L"会議-", true},   {L"take_", true}, {L"COM10", true},
        {L"nulla", true},  {L"10:30-", false}, {L"x:", false},   {L"CON", false},
        {L"nul", false},   {L"Com1", false},   {L"LPT9", false}, {L"aux.", false},
        {L"nul.x", false}, {L"a.", false},     {L"a ", false},   {L"a/b", false},
        {L"a\\b", false},  {L"..\\up", false}, {L"a*", false},   {L"a?", false},
        {L"a\"", false},   {L"a|b", false},    {L"a<b>", false}, {L"tab\t", false},
    };
    for (const auto& c : cases) {
        const std::wstring prefix = c.prefix;
        SCOPED_TRACE(std::string(prefix.begin(), prefix.end()));
        EXPECT_EQ(IsUsablePrefix(prefix), c.usable);
        for (int subFolders : {0, 1}) {
            SequentialNaming naming;
            naming.enabled = 1;
            naming.folder = L"C:\\録音";
            naming.prefix = prefix;
            naming.subFolders = subFolders;
            naming.count = 41;
            std::wstring path;
            const NamingResult result = NextSequentialName(naming, path, nullptr);
            ASSERT_EQ(result, c.usable ? NAMING_DONE : NAMING_BAD_NAME);
            if (!c.usable)
                continue;
            const std::wstring folder = subFolders ? L"C:\\録音\\000K\\" : L"C:\\録音\\";
            EXPECT_EQ(path, folder + prefix + L"000041.wav") << "in the folder, a plain file";
            EXPECT_TRUE(IsStorableFileName(path));
        }
    }
    SequentialNaming streamFolder;
    streamFolder.enabled = 1;
    streamFolder.folder = L"C:\\rec\\x:y";
    std::wstring path;
    EXPECT_EQ(NextSequentialName(streamFolder, path, nullptr), NAMING_BAD_NAME);
}

} // namespace
