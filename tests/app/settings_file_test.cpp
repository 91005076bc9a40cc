// The settings file through Windows' own profile functions (run under Wine).
#include "app/settings.h"
#include "tests/support/test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::wstring Utf16Text(const std::vector<uint8_t>& bytes, size_t from) {
    std::wstring text;
    for (size_t i = from; i + 1 < bytes.size(); i += 2)
        text += wchar_t(bytes[i] | (bytes[i + 1] << 8));
    return text;
}

TEST(SettingsFile, NewFileIsUnicodeWithEveryKeyInOrder) {
    TempDir dir;
    const std::wstring path = (dir / "Sonarix.ini").wstring();
    AppSettings settings;
    settings.SamplingRate = 0;
    LoadSettingsFile(path, settings);
    EXPECT_EQ(settings.SamplingRate, 16000) << "no file: the defaults";
    EXPECT_FALSE(fs::exists(path)) << "reading creates nothing";

    SaveSettingsFile(path, settings);
    const auto bytes = ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    const std::wstring text = Utf16Text(bytes, 2);
    size_t at = 0;
    for (const wchar_t* key :
         {L"[TabPage2]", L"CheckSeqRecFile=0", L"SeqRecFileDir=", L"CheckReqFileSubDir=0",
          L"SeqRecFilePrefix=", L"SeqRecFileCount=0", L"[SoundProperty]", L"SamplingChannel=2",
          L"SampleType=1", L"SamplingRate=16000"}) {
        const size_t found = text.find(key, at);
        ASSERT_NE(found, std::wstring::npos) << "key " << fs::path(key).string() << " in order";
        at = found;
    }
}

// A Japanese folder and prefix come back as they were, whatever the system's code page.
TEST(SettingsFile, JapaneseTextSurvives) {
    TempDir dir;
    const std::wstring path = (dir / "Sonarix.ini").wstring();
    AppSettings settings;
    settings.CheckSeqRecFile = 1;
    settings.SeqRecFileDir = L"C:\\録音\\会議室Ａ";
    settings.SeqRecFilePrefix = L"打ち合わせ";
    settings.SeqRecFileCount = 41;
    settings.SampleType = 3;
    SaveSettingsFile(path, settings);
    AppSettings loaded;
    LoadSettingsFile(path, loaded);
    EXPECT_EQ(loaded.SeqRecFileDir, settings.SeqRecFileDir);
    EXPECT_EQ(loaded.SeqRecFilePrefix, settings.SeqRecFilePrefix);
    EXPECT_EQ(loaded.SeqRecFileCount, 41);
    EXPECT_EQ(loaded.SampleType, 3);
    EXPECT_EQ(loaded.CheckSeqRecFile, 1);
}

// A file of an earlier version, without the mark, is read and written in its own encoding.
TEST(SettingsFile, ExistingAnsiFileStaysAnsi) {
    TempDir dir;
    const fs::path path = dir / "Sonarix.ini";
    const std::string old = "[SoundProperty]\r\nSamplingRate=  \"44100\"  \r\nSampleType=2\r\n"
                            "[TabPage2]\r\nCheckSeqRecFile=yes\r\nSeqRecFilePrefix=" +
                            std::string(600, 'p') + "\r\n";
    WriteFileBytes(path, std::vector<uint8_t>(old.begin(), old.end()));
    AppSettings settings;
    LoadSettingsFile(path.wstring(), settings);
    EXPECT_EQ(settings.SamplingRate, 44100) << "blanks and quotes trimmed";
    EXPECT_EQ(settings.SampleType, 2);
    EXPECT_EQ(settings.CheckSeqRecFile, 1);
    EXPECT_EQ(settings.SeqRecFilePrefix.size(), 511u);
    EXPECT_EQ(settings.CheckReqFileSubDir, 0);
    SaveSettingsFile(path.wstring(), settings);
    const auto bytes = ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_NE(bytes[0], 0xFF) << "no mark added to an existing file";
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("CheckSeqRecFile=1"), std::string::npos);
    EXPECT_NE(text.find("SamplingRate=44100"), std::string::npos);
}

// A settings file that cannot be written (here a folder of its name, which even an
// administrator cannot write as a file): every writer says so, and nothing is created.
TEST(SettingsFile, UnwritableFileIsReported) {
    TempDir dir;
    const std::wstring path = (dir / "Sonarix.ini").wstring();
    fs::create_directory(path);
    EXPECT_FALSE(SaveSettingsFile(path, AppSettings()));
    EXPECT_FALSE(SaveSequenceCounterFile(path, 7));
    EXPECT_FALSE(NoteRecordingInProgressFile(path, {{L"C:\\x.wav", {}}}));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
}

// The counter and the note of a recording in a new file: Unicode from the first write, so a
// Japanese path comes back whole; each file with its markers, far more of them than one value
// of 511 characters holds, one at the end; the full save later keeps both; a shorter list
// replaces a longer one, each file keeping its own markers.
TEST(SettingsFile, CounterAndNoteWrittenAtOnce) {
    TempDir dir;
    const std::wstring path = (dir / "Sonarix.ini").wstring();
    std::vector<NotedFile> files = {{L"C:\\録音\\会議 \\take000041.wav", {}},
                                    {L"C:\\録音\\take000042.wav", {{7, "Marker 1 00:00:00.0"}}}};
    for (uint64_t i = 0; i < 300; ++i)
        files[0].markers.push_back({i * 16000, "Gap " + std::to_string(i + 1) + " 00:00:01.0"});
    files[0].markers.push_back({NotedFile::kAtTheEnd, "Marker 2 01:02:03.4"});
    ASSERT_TRUE(SaveSequenceCounterFile(path, 42));
    ASSERT_TRUE(NoteRecordingInProgressFile(path, files));
    EXPECT_EQ(ReadFileBytes(path).at(0), 0xFF) << "created as Unicode";
    EXPECT_EQ(RecordingInProgressFile(path), files);
    AppSettings settings;
    LoadSettingsFile(path, settings);
    EXPECT_EQ(settings.SeqRecFileCount, 42);
    ASSERT_TRUE(SaveSettingsFile(path, settings));
    EXPECT_EQ(RecordingInProgressFile(path), files);
    ASSERT_TRUE(NoteRecordingInProgressFile(path, {files[1]}));
    EXPECT_EQ(RecordingInProgressFile(path), std::vector<NotedFile>{files[1]});
    ASSERT_TRUE(NoteRecordingInProgressFile(path, {}));
    EXPECT_TRUE(RecordingInProgressFile(path).empty());
    const auto bytes = ReadFileBytes(path);
    EXPECT_EQ(Utf16Text(bytes, 2).find(L"[Recording]"), std::wstring::npos) << "section removed";
}

// A write never rewrites the file over itself: cut before the rename, the file is the old one
// whole (the copy beside it taken again by the next write); after it, the new one. A read-only
// file is left as it is, with no copy.
TEST(SettingsFile, AWriteReplacesTheFileInOneStep) {
    TempDir dir;
    const std::wstring path = (dir / "Sonarix.ini").wstring();
    const auto counter = [&] {
        AppSettings settings;
        LoadSettingsFile(path, settings);
        return settings.SeqRecFileCount;
    };
    ASSERT_TRUE(NoteRecordingInProgressFile(path, {{L"C:\\take5.wav", {}}}));
    for (const bool cut : {true, false}) {
        StopSettingsWritesBeforeTheRename(cut);
        EXPECT_TRUE(SaveSequenceCounterFile(path, cut ? 6 : 7));
        StopSettingsWritesBeforeTheRename(false);
        EXPECT_EQ(counter(), cut ? 0 : 7);
        EXPECT_EQ(RecordingInProgressFile(path).size(), 1u) << "with all it held";
        EXPECT_EQ(fs::exists(dir / "Sonarix.new"), cut);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    uint32_t error = 0;
    EXPECT_FALSE(SaveSequenceCounterFile(path, 8, &error));
    EXPECT_EQ(error, uint32_t(ERROR_ACCESS_DENIED));
    EXPECT_EQ(counter(), 7);
    EXPECT_FALSE(fs::exists(dir / "Sonarix.new"));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(SettingsFile, PathBesideTheExecutable) {
    const std::wstring path = SettingsFilePath();
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring folder(module, std::wstring(module).rfind(L'\\'));
    EXPECT_EQ(path, folder + L"\\Sonarix.ini");
}

} // namespace
