#include "engine/file_name_check.h"

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

} // namespace
