// What writing the settings file costs, under the real profile functions: a whole copy written
// beside it, flushed and renamed over it (the counter at a start, the note at a seam, the whole
// settings at close). Prints the median and the slowest of 200 writes of each.
#include "app/settings.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

void Measure(const char* what, const std::function<bool(int)>& write) {
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!write(i)) {
            std::printf("%s: failed\n", what);
            return;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %.2f ms, slowest %.2f ms\n", what, ms[ms.size() / 2], ms.back());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = argc > 1 ? argv[1] : temp;
    const std::wstring path = folder + L"\\sonarix-bench.ini";
    DeleteFileW(path.c_str());
    AppSettings settings;
    settings.CheckSeqRecFile = 1;
    settings.SeqRecFileDir = L"C:\\Users\\someone\\Documents\\録音";
    settings.SeqRecFilePrefix = L"会議";
    SaveSettingsFile(path, settings);
    const std::vector<NotedFile> noted = {{folder + L"\\会議000041.wav", {}},
                                          {folder + L"\\会議000042.wav", {}}};
    Measure("the counter (a start)", [&](int i) { return SaveSequenceCounterFile(path, i); });
    Measure("the note of two files (a seam)", [&](int i) {
        return NoteRecordingInProgressFile(path, i % 2 ? noted : std::vector<NotedFile>{noted[0]});
    });
    Measure("every setting (the window's close)", [&](int i) {
        settings.SeqRecFileCount = i;
        return SaveSettingsFile(path, settings);
    });
    DeleteFileW(path.c_str());
    return 0;
}
