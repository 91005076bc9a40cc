// The settings record and the settings file Sonarix.ini beside the executable: read once when
// the main window opens, written once when it closes. Two things are written at once besides:
// the sequential counter when a recording takes a number, so that a crash cannot hand the same
// number out again, and the name of the file being recorded, in a section of its own, so that
// the next start can complete a recording cut short.
//
// The keys live in one table (settings.cpp) that both directions walk. The rules for turning
// the file's texts into values are portable and tested natively; the file itself goes through
// the Windows profile functions.
#pragma once

#include "engine/recording_repair.h"

#include <cstdint>
#include <string>
#include <vector>

struct AppSettings {
    // [TabPage2]
    int CheckSeqRecFile = 0;       // sequential file names on (1) or off (0)
    std::wstring SeqRecFileDir;    // folder for sequentially named files
    int CheckReqFileSubDir = 0;    // one sub-folder per thousand numbers
    std::wstring SeqRecFilePrefix; // text in front of the number
    int32_t SeqRecFileCount = 0;   // the next number
    // [SoundProperty]
    int SamplingChannel = 2;       // 1 mono, 2 stereo
    int SampleType = 1;            // 0..3, see recording_format.h
    int SamplingRate = 16000;      // Hz
    int Source = 0;                // what is recorded: 0 an input, 1 what the computer plays,
                                   // 2 both (the input left, the output right)
    std::wstring InputDevice;      // the input's endpoint ID; "": Windows' default input;
                                   // "communications": its default communications input
    std::wstring InputDeviceName;  // ...its name, shown while it is away
    std::wstring OutputDevice;     // the output whose playback is recorded, the same way
    std::wstring OutputDeviceName; // ...its name
    // Not in the file: the keys of the source whose values could not be used and read as their
    // defaults, for the settings page to say.
    std::vector<std::wstring> Damaged;
};

extern AppSettings g_settings;

// Where the values are read from and written to: the profile functions on Windows, a map in
// tests. Read returns the value's text, or defaultText when the key is missing or empty, cut to
// 511 characters, with enclosing blanks and quotes removed, as GetPrivateProfileString does.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual std::wstring Read(const wchar_t* section, const wchar_t* key,
                              const wchar_t* defaultText) = 0;
    // False when the value could not be written (a read-only file or folder, a full disk).
    virtual bool Write(const wchar_t* section, const wchar_t* key, const std::wstring& value) = 0;
    // Removes a whole section; false when the file could not be written.
    virtual bool RemoveSection(const wchar_t* section) = 0;
    // A value that may be longer than Read gives (a file's markers); "" when missing.
    virtual std::wstring ReadLong(const wchar_t* section, const wchar_t* key) {
        return Read(section, key, L"");
    }
};

// Fills every field from the store, with the defaults where it has nothing. Values the program
// cannot use (channels other than 1 or 2, a type outside 0..3, a rate not in the format
// dialog's list, a counter outside 0..999999) become their defaults; so do a source other than
// 0, 1 or 2 and a device that cannot be an endpoint's ID (cut short, or with control characters),
// whose keys are listed in Damaged. A device that is merely not plugged in is kept.
void LoadSettings(AppSettings& settings, ISettingsStore& store);
// Writes every field, in the table's order; false when any could not be written.
bool SaveSettings(const AppSettings& settings, ISettingsStore& store);
// Writes the sequential counter alone; false when it could not be written.
bool SaveSequenceCounter(int32_t count, ISettingsStore& store);

// The files of a recording not yet complete, noted while it records ([Recording] File, File2,
// ..., quoted so that blanks at either end survive), each with its markers (Markers, Markers2,
// ...: "frame:label|frame:label", "*" for a frame at the end); an empty list removes the note.
// False when the store could not be written.
bool NoteRecordingInProgress(const std::vector<NotedFile>& files, ISettingsStore& store);
// The noted files with their markers, or none.
std::vector<NotedFile> RecordingInProgress(ISettingsStore& store);
// The noted files whose drive was absent and of which the user has been told ([Recording] Told).
std::vector<std::wstring> AbsentFilesTold(ISettingsStore& store);
bool NoteAbsentFilesTold(const std::vector<std::wstring>& files, ISettingsStore& store);

// The reading rules, by the length of the text read: a flag is off for "" and "0" and on for
// anything else; an integer reads like the C library's decimal conversion (blanks, one sign,
// digits; "abc" gives 0; overflow wraps), and "" gives the default.
int ParseFlag(const std::wstring& text);
int32_t ParseInteger(const std::wstring& text, int32_t defaultValue);

#ifdef _WIN32
// The settings file beside the executable; empty when its path does not fit in MAX_PATH.
std::wstring SettingsFilePath();
// Settings from and to a file. Without a path, loading gives the defaults and saving does
// nothing. A new file is created as UTF-16LE with a byte-order mark, so that every folder and
// prefix survives on any Windows locale; an existing file is kept in its own encoding. A write
// never rewrites the file over itself: a whole new copy is written beside it (".new"), flushed,
// and renamed over it in one step, so a power cut leaves the old file or the new one. The
// writers return false when the file could not be written (a read-only file or folder), with
// the system's error code of the first step that failed in *error (when given).
void LoadSettingsFile(const std::wstring& path, AppSettings& settings);
bool SaveSettingsFile(const std::wstring& path, const AppSettings& settings,
                      uint32_t* error = nullptr);
bool SaveSequenceCounterFile(const std::wstring& path, int32_t count, uint32_t* error = nullptr);
bool NoteRecordingInProgressFile(const std::wstring& path, const std::vector<NotedFile>& files,
                                 uint32_t* error = nullptr);
std::vector<NotedFile> RecordingInProgressFile(const std::wstring& path);
std::vector<std::wstring> AbsentFilesToldFile(const std::wstring& path);
bool NoteAbsentFilesToldFile(const std::wstring& path, const std::vector<std::wstring>& files);
// Tests: every settings write stops once its copy beside the file is complete, before it takes
// the file's place (a power cut there).
void StopSettingsWritesBeforeTheRename(bool stop);
// g_settings from and to the file beside the executable.
void LoadSettings();
bool SaveSettings(uint32_t* error = nullptr);
#endif
