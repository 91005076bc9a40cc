// What keeps a recording from being lost: names that never replace a file, a counter that
// survives a crash, an interrupted file completed at the next start, a failed start or settings
// write that is always said, and a session end that completes the file first.
#include "app/settings.h"
#include "capture/wave_in.h"
#include "engine/wave_file.h"
#include "res/resource.h"
#include "tests/support/test_disk.h"
#include "tests/ui/ui_fixture.h"
#include "ui/framework/ui_text.h"
#include "ui/windows/recording_texts.h"

#include <mmsystem.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

using RecordingSafety = UiFixture;

const std::vector<uint8_t> kOld = {'o', 'l', 'd', ' ', 'r', 'e', 'c'};

std::string SequentialSettings(const TempDir& dir, int count) {
    return "[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFilePrefix=t\r\nSeqRecFileCount=" +
           std::to_string(count) + "\r\nSeqRecFileDir=" + dir.Path().string() + "\r\n";
}

int32_t StoredCounter() {
    AppSettings stored;
    LoadSettingsFile(SettingsFilePath(), stored);
    return stored.SeqRecFileCount;
}

// Taken numbers are skipped, the number is kept in the settings file as soon as its file
// exists, the file is noted while it records, and a file that appears between the check and
// the creation is never replaced either.
TEST_F(RecordingSafety, SequentialNumbersAreNeverReused) {
    WriteSettings(SequentialSettings(dir, 41));
    WriteFileBytes(dir / "t000041.wav", kOld);
    WriteFileBytes(dir / "t000042.wav", kOld);
    OpenMainWindow();
    Click(ID_RECORD_START);
    ASSERT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    EXPECT_EQ(Bar()->m_strFileName, (dir / "t000043.wav").wstring());
    EXPECT_EQ(StoredCounter(), 44) << "kept at once, not only at the close";
    const std::vector<NotedFile> noted = {{(dir / "t000043.wav").wstring(), {}}};
    EXPECT_EQ(RecordingInProgressFile(SettingsPath()), noted);
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(RecordingInProgressFile(SettingsPath()).empty()) << "complete: no longer noted";

    // Another program creates the next file while the device opens.
    const fs::path raced = dir / "t000044.wav";
    s_device->SetCallHook([&](SimulatedWaveInput::Operation op) {
        if (op == SimulatedWaveInput::OPEN && !fs::exists(raced))
            WriteFileBytes(raced, kOld);
    });
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    EXPECT_EQ(Bar()->m_strFileName, (dir / "t000045.wav").wstring());
    EXPECT_EQ(Page()->m_nSeqRecFileCount, 46u);
    for (const char* name : {"t000041.wav", "t000042.wav", "t000044.wav"})
        EXPECT_EQ(ReadFileBytes(dir / name), kOld) << name << " untouched";
    EXPECT_GT(fs::file_size(dir / "t000043.wav"), 46u);
    EXPECT_TRUE(s_messages.empty());
}

// A typed name that exists: the question, and No keeps the file byte for byte.
TEST_F(RecordingSafety, ExistingTypedNameIsReplacedOnlyWhenTheUserSaysSo) {
    OpenMainWindow();
    const fs::path wav = dir / "meeting.wav";
    WriteFileBytes(wav, kOld);
    TypeFileName(wav.wstring());
    Click(ID_RECORD_START);
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_FILE_EXISTS_ASK, {wav.wstring()}));
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED);
    EXPECT_EQ(ReadFileBytes(wav), kOld);
    EXPECT_EQ(s_device->Calls(SimulatedWaveInput::OPEN), 0) << "the device is not even opened";

    s_answer = IDYES;
    Click(ID_RECORD_START);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    ASSERT_TRUE(PumpUntil([] { return s_device->FramesDelivered() >= 10 * 640; }));
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(ReadWav(wav).IsComplete()) << "replaced by the recording";
}

// Every reason a recording cannot start is said, with the system's own text; the state stays,
// the counter does not move, and no file is left behind.
TEST_F(RecordingSafety, EveryFailedStartIsSaid) {
    WriteFileBytes(dir / "plain", {1});
    fs::create_directory(dir / "folder.wav");
    const struct {
        const char* what;
        SimulatedWaveInput::Operation failing; // OPERATION_COUNT: the device works
        uint32_t code;
        std::string folder; // sequential naming into this folder, or a typed name when empty
        std::wstring typed;
        UINT message;
        std::wstring fact; // the device's reason, or the folder or file
    } cases[] = {
        {"no input device", SimulatedWaveInput::OPEN, MMSYSERR_BADDEVICEID, dir.Path().string(),
         L"", IDS_NO_INPUT_DEVICE, DeviceErrorText(MMSYSERR_BADDEVICEID)},
        {"device in use", SimulatedWaveInput::OPEN, MMSYSERR_ALLOCATED, dir.Path().string(), L"",
         IDS_DEVICE_BUSY, DeviceErrorText(MMSYSERR_ALLOCATED)},
        {"format refused", SimulatedWaveInput::OPEN, WAVERR_BADFORMAT, dir.Path().string(), L"",
         IDS_DEVICE_BAD_FORMAT, DeviceErrorText(WAVERR_BADFORMAT)},
        {"device gone at the start", SimulatedWaveInput::START, MMSYSERR_NODRIVER,
         dir.Path().string(), L"", IDS_NO_INPUT_DEVICE, DeviceErrorText(MMSYSERR_NODRIVER)},
        {"folder", SimulatedWaveInput::OPERATION_COUNT, 0, (dir / "plain" / "sub").string(), L"",
         IDS_FOLDER_FAILED, (dir / "plain" / "sub").wstring()},
        {"file", SimulatedWaveInput::OPERATION_COUNT, 0, "", (dir / "folder.wav").wstring(),
         IDS_FILE_FAILED, (dir / "folder.wav").wstring()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s_messages.clear();
        if (c.folder.empty())
            WriteSettings("[TabPage2]\r\nSeqRecFileCount=5\r\n");
        else
            WriteSettings("[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFilePrefix=t\r\n"
                          "SeqRecFileCount=5\r\nSeqRecFileDir=" +
                          c.folder + "\r\n");
        OpenMainWindow();
        if (!c.typed.empty())
            TypeFileName(c.typed);
        if (c.failing != SimulatedWaveInput::OPERATION_COUNT)
            s_device->FailFrom(c.failing, 1, c.code);
        Click(ID_RECORD_START);
        EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED);
        ASSERT_EQ(s_messages.size(), 1u);
        EXPECT_TRUE(Says(s_messages[0], c.message, {c.fact}));
        EXPECT_EQ(Page()->m_nSeqRecFileCount, 5u) << "no number used up";
        EXPECT_FALSE(fs::exists(dir / "t000005.wav")) << "no file left behind";
        EXPECT_TRUE(RecordingInProgressFile(SettingsPath()).empty());
        CloseMainWindow();
    }
}

// The device does not restart after a pause (it was unplugged meanwhile). Before the input gave
// any sound: said, the recording stays paused and its file complete once stopped. After: the
// input is lost, not the recording: it waits for the input without a box and goes on in the
// same file.
TEST_F(RecordingSafety, RefusedResume) {
    for (const bool sound : {false, true}) {
        SCOPED_TRACE(sound ? "after sound" : "before any sound");
        s_messages.clear();
        OpenMainWindow();
        s_device->SetSilent(!sound);
        const fs::path file = dir / (sound ? "resumed.wav" : "paused.wav");
        TypeFileName(file.wstring());
        Click(ID_RECORD_START);
        if (sound) {
            ASSERT_TRUE(PumpUntil([] { return s_device->FramesDelivered() >= 10 * 640; }));
        }
        Click(ID_RECORD_PAUSE);
        s_device->FailNext(SimulatedWaveInput::START, MMSYSERR_NODRIVER, 1);
        Click(ID_RECORD_START);
        if (sound) {
            EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
            EXPECT_TRUE(s_messages.empty());
            EXPECT_TRUE(PumpUntil([&] { // the device's count starts again with the opening
                return s_device->Calls(SimulatedWaveInput::OPEN) == 2 &&
                       main->m_pRecording->State() == RECORDING_RUNNING &&
                       s_device->FramesDelivered() >= 10 * 640;
            })) << "the input opened again records into the same file";
        } else {
            EXPECT_EQ(Bar()->State(), CRecordBar::STATE_PAUSED);
            EXPECT_TRUE(s_messages.empty()) << "paused: no box";
            ASSERT_EQ(Notices().size(), 1u);
            EXPECT_TRUE(Says(Notices()[0], IDS_RESUME_FAILED));
        }
        Click(ID_RECORD_STOP);
        EXPECT_TRUE(PumpUntil([&] { return ReadWav(file).IsComplete(); }));
        CloseMainWindow();
    }
}

// A file the settings name as being recorded, left with the placeholder sizes by a crash: once
// the window stands it is completed and the user told its length; nothing shows before.
TEST_F(RecordingSafety, InterruptedRecordingIsCompletedAtTheNextStart) {
    const fs::path killed = dir / "t000041.wav";
    {
        CWaveFile wav; // what the writer leaves while recording: 1 s of 16000 Hz mono 16-bit
        ASSERT_EQ(wav.Open(killed, 1, 16000, SAMPLE_TYPE_PCM16), 1);
        std::vector<uint8_t> second(32000 + 1, 0x11); // and a byte of a sample
        ASSERT_EQ(wav.WriteRaw(second.data(), uint32_t(second.size())), 1);
        auto bytes = ReadFileBytes(killed);
        wav.Close();
        WriteFileBytes(killed, bytes);
    }
    ASSERT_TRUE(NoteRecordingInProgressFile(SettingsPath(), {{killed.wstring(), {}}}));
    main = new CMainDlg;
    g_pMainDlg = main;
    ASSERT_TRUE(main->Create(nullptr));
    EXPECT_TRUE(s_messages.empty()) << "nothing while the window is being made";
    PumpUntil([] { return !s_messages.empty(); });
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(
        Says(s_messages[0], IDS_RECORDING_COMPLETED, {killed.wstring(), FormatDuration(1000)}));
    const WavFile completed = ReadWav(killed);
    EXPECT_EQ(completed.dataSize, 32000u) << "the partial sample cut off";
    EXPECT_TRUE(completed.IsComplete());
    EXPECT_TRUE(RecordingInProgressFile(SettingsPath()).empty());
    CloseMainWindow();

    // Named again but gone, or not ours: left alone, the note removed, nothing said.
    s_messages.clear();
    WriteFileBytes(dir / "other.wav", kOld);
    for (const fs::path& file : {dir / "gone.wav", dir / "other.wav"}) {
        ASSERT_TRUE(NoteRecordingInProgressFile(SettingsPath(), {{file.wstring(), {}}}));
        OpenMainWindow();
        EXPECT_TRUE(RecordingInProgressFile(SettingsPath()).empty());
        CloseMainWindow();
    }
    EXPECT_EQ(ReadFileBytes(dir / "other.wav"), kOld);
    EXPECT_TRUE(s_messages.empty());

    // On a drive that is not there (a USB stick not plugged in): kept for a later start, the
    // user told once, and still noted after a recording of this run.
    const std::wstring absent = L"Q:\\録音\\t000001.wav";
    ASSERT_TRUE(NoteRecordingInProgressFile(SettingsPath(), {{absent, {}}}));
    for (int run = 0; run < 2; ++run) {
        OpenMainWindow();
        EXPECT_EQ(s_messages.size(), 1u) << "told on the first start only";
        if (run == 1) {
            TypeFileName((dir / "later.wav").wstring());
            Click(ID_RECORD_START);
            Click(ID_RECORD_STOP);
        }
        const std::vector<NotedFile> waiting = {{absent, {}}};
        EXPECT_EQ(RecordingInProgressFile(SettingsPath()), waiting);
        CloseMainWindow();
    }
    ASSERT_FALSE(s_messages.empty());
    EXPECT_TRUE(Says(s_messages[0], IDS_RECORDING_WAITS_FOR_DRIVE, {absent}));
}

// A settings file that cannot be written (a folder of its name): the first failed write of the
// run is said, with the path, in the window while it records (no box holds the window), and the
// end of the recording that follows is a box once stopped; no later failure is said.
TEST_F(RecordingSafety, UnwritableSettingsAreSaidOnce) {
    struct Folder {
        Folder() { fs::create_directory(SettingsPath()); }
        ~Folder() { fs::remove(SettingsPath()); }
    } folder;
    TestDisk disk;
    OpenMainWindow();
    TypeFileName((dir / "a.wav").wstring());
    Click(ID_RECORD_START); // the note of the recording
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    ASSERT_TRUE(PumpUntil([&] { return !Notices().empty(); }));
    EXPECT_TRUE(Says(Notices()[0], IDS_SETTINGS_NOT_SAVED, {SettingsPath()}));
    EXPECT_TRUE(s_messages.empty()) << "no box while recording";
    // The disk fills up 3 s in: the end, once stopped, is a box.
    s_now += 3000;
    disk.FillAt(disk.Appended());
    ASSERT_TRUE(PumpUntil([] { return g_pMainDlg->m_pRecording->State() == RECORDING_STOPPED; }));
    PumpUntil([] { return !s_messages.empty(); });
    // The clock's jump may also be a stretch without sound, rightly said: not counted here.
    s_messages.erase(
        std::remove_if(s_messages.begin(), s_messages.end(),
                       [](const std::wstring& text) { return bool(Says(text, IDS_GAPS)); }),
        s_messages.end());
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_STOPPED_WRITE_FAILED, {(dir / "a.wav").wstring()}));
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED) << "the end acted on";
    EXPECT_EQ(StatusText(1), L"00:00:03:00") << "counted from the start";
    EXPECT_TRUE(ReadWav(dir / "a.wav").IsComplete());
    disk.FillAt(UINT64_MAX);
    TypeFileName((dir / "b.wav").wstring());
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    CloseMainWindow(); // the full save fails too
    EXPECT_EQ(s_messages.size(), 1u) << "once a run";
    EXPECT_TRUE(fs::exists(dir / "b.wav"));
}

// The session ends while recording, with a counter field that would not pass its check: Windows
// is first told no (so that it shows why, and the user chooses); then the file is completed and
// the settings stored, and nothing asks or tells anything. Also when it ends while a modal
// dialog of the program is open (nothing is destroyed under it, it is closed, and the window
// closes once its loop has returned), and after a notice (the drive nearly full: no box).
TEST_F(RecordingSafety, SessionEndCompletesTheFileWithoutAWord) {
    static CMainDlg* s_main;
    for (int open : {0, 1, 2}) { // nothing, the About box, a notice
        SCOPED_TRACE(open);
        s_messages.clear();
        WriteSettings(SequentialSettings(dir, 7 + open));
        OpenMainWindow();
        s_main = main;
        TestDisk disk;
        if (open == 2) // the drive nearly full: said at the start in the window, no box
            disk.SetFreeSpace(64000);
        SetDlgItemTextW(Page()->GetSafeHwnd(), IDC_SEQ_COUNT, L"abc");
        Click(ID_RECORD_START);
        if (open != 2) {
            ASSERT_TRUE(PumpUntil([] { return s_device->FramesDelivered() >= 10 * 640; }));
            EXPECT_EQ(SendMessageW(main->GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0), FALSE);
            EXPECT_EQ(SendMessageW(main->GetSafeHwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_CRITICAL),
                      TRUE);
        }
        const auto endSession = [] {
            SendMessageW(s_main->GetSafeHwnd(), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
        };
        if (open == 0) {
            endSession();
        } else if (open == 2) {
            EXPECT_TRUE(PumpUntil([&] { return !Notices().empty(); }));
            EXPECT_TRUE(Says(Notices()[0], IDS_SPACE_LOW));
            endSession();
        } else if (open == 1) {
            // The session ends from inside the About box's own loop.
            SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR timer, DWORD) {
                KillTimer(nullptr, timer);
                SendMessageW(s_main->GetSafeHwnd(), WM_ENDSESSION, TRUE, 0);
            });
            SendMessageW(main->GetSafeHwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        }
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(main->GetSafeHwnd()); }));
        delete main;
        main = nullptr;
        EXPECT_TRUE(s_messages.empty());
        EXPECT_TRUE(ReadWav(dir / ("t00000" + std::to_string(7 + open) + ".wav")).IsComplete());
        EXPECT_EQ(StoredCounter(), 8 + open);
        EXPECT_TRUE(RecordingInProgressFile(SettingsPath()).empty());
        SetMessageHook([](const std::wstring& text, UINT) {
            s_messages.push_back(text);
            return int(IDOK);
        });
    }
}

} // namespace

namespace {

// The frame numbers the simulated device put in a 16-bit stereo file (see SimulatedWaveInput).
std::vector<uint32_t> StereoFrames(const fs::path& file) {
    const WavFile wav = ReadWav(file);
    std::vector<uint32_t> frames;
    for (size_t at = 0; at + 4 <= std::min<size_t>(wav.dataSize, wav.data.size()); at += 4)
        frames.push_back(uint32_t(wav.data[at]) | uint32_t(wav.data[at + 1]) << 8 |
                         uint32_t(wav.data[at + 2]) << 16 | uint32_t(wav.data[at + 3]) << 24);
    return frames;
}

// A recording longer than a file can hold goes on in "name (2).wav", "(3)", ... (a name taken
// is passed over) or in the next sequential numbers (the counter kept at once); field 1012 and
// the settings file name the file being written; every frame lands once over the files.
TEST_F(RecordingSafety, LongRecordingsGoOnInNextFiles) {
    const uint32_t block = 640 * 4; // 16000 Hz stereo 16-bit
    for (bool sequential : {false, true}) {
        SCOPED_TRACE(sequential ? "sequential" : "typed");
        const fs::path folder = dir / (sequential ? "seq" : "typed");
        fs::create_directory(folder);
        WriteSettings(sequential ? "[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFilePrefix=t\r\n"
                                   "SeqRecFileCount=7\r\nSeqRecFileDir=" +
                                       folder.string() + "\r\n"
                                 : "");
        const std::vector<fs::path> files =
            sequential ? std::vector<fs::path>{folder / "t000007.wav", folder / "t000009.wav",
                                               folder / "t000010.wav"}
                       : std::vector<fs::path>{folder / "talk.wav", folder / "talk (2).wav",
                                               folder / "talk (4).wav"};
        WriteFileBytes(sequential ? folder / "t000008.wav" : folder / "talk (3).wav", kOld);
        OpenMainWindow();
        main->m_pRecording->SetFileSizeLimit(38 + 25 * block);
        if (!sequential)
            TypeFileName(files[0].wstring());
        Click(ID_RECORD_START);
        // The window hears of the file after the disk thread has begun writing it.
        EXPECT_TRUE(PumpUntil([&] {
            return fs::exists(files[2]) && ReadWav(files[2]).data.size() >= 5 * block &&
                   Bar()->m_strFileName == files[2].wstring();
        })) << "field 1012: the file written";
        const auto noted = RecordingInProgressFile(SettingsPath());
        EXPECT_NE(std::find_if(noted.begin(), noted.end(),
                               [&](const NotedFile& n) { return n.path == files[2].wstring(); }),
                  noted.end());
        if (sequential) {
            // Past the file written, and past the one prepared for what follows, if any.
            EXPECT_EQ(StoredCounter(), int32_t(Page()->m_nSeqRecFileCount));
            EXPECT_GE(StoredCounter(), 11);
        }
        Click(ID_RECORD_STOP);
        ASSERT_TRUE(PumpUntil([&] { return main->m_pRecording->State() == RECORDING_STOPPED; }));
        EXPECT_FALSE(fs::exists(sequential ? folder / "t000011.wav" : folder / "talk (5).wav"))
            << "a file prepared but never needed is not left behind";
        if (sequential) {
            EXPECT_EQ(Page()->m_nSeqRecFileCount, 11u) << "its number given back";
            EXPECT_EQ(StoredCounter(), 11);
        }
        EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED);
        std::vector<uint32_t> frames;
        for (const fs::path& file : files) {
            EXPECT_TRUE(ReadWav(file).IsComplete()) << file.string();
            const auto part = StereoFrames(file);
            frames.insert(frames.end(), part.begin(), part.end());
        }
        ASSERT_EQ(frames.size(), s_device->FramesDelivered());
        for (size_t i = 0; i < frames.size(); ++i)
            ASSERT_EQ(frames[i], i) << "frame " << i << " over the seams";
        EXPECT_TRUE(s_messages.empty());
        CloseMainWindow();
    }
}

// The next file cannot be made (its sub-folder's name is taken by a file): the recording ends
// at the limit, with everything that fitted, and says why, naming the file it could not make.
TEST_F(RecordingSafety, NextFileThatCannotBeMadeIsSaid) {
    WriteSettings(
        "[TabPage2]\r\nCheckSeqRecFile=1\r\nCheckReqFileSubDir=1\r\nSeqRecFilePrefix=t\r\n"
        "SeqRecFileCount=999\r\nSeqRecFileDir=" +
        dir.Path().string() + "\r\n");
    WriteFileBytes(dir / "001K", kOld);
    OpenMainWindow();
    main->m_pRecording->SetFileSizeLimit(38 + 40 * 640 * 4);
    Click(ID_RECORD_START);
    EXPECT_TRUE(PumpUntil([&] { return Bar()->State() == CRecordBar::STATE_STOPPED; }));
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_STOPPED_NEXT_FILE_FAILED,
                     {(dir / "001K" / "t001000.wav").wstring()}));
    const WavFile first = ReadWav(dir / "000K" / "t000999.wav");
    EXPECT_TRUE(first.IsComplete());
    EXPECT_EQ(first.dataSize, 40u * 640 * 4) << "everything that fitted";
    EXPECT_EQ(ReadFileBytes(dir / "001K"), kOld);
}

} // namespace
