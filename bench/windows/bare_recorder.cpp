// A bare winmm recorder, the yardstick of the program's cost: the default input at 48000 Hz
// stereo 16-bit through thirty 40 ms buffers with event completion, every block appended to a
// file, no window.
//   bare_recorder FILE SECONDS
#include <windows.h>

#include <mmsystem.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bare_recorder FILE SECONDS\n");
        return 2;
    }
    const DWORD seconds = DWORD(std::wcstoul(argv[2], nullptr, 10));
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (file == INVALID_HANDLE_VALUE || !done)
        return 1;
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};
    HWAVEIN wave = nullptr;
    if (waveInOpen(&wave, WAVE_MAPPER, &format, DWORD_PTR(done), 0, CALLBACK_EVENT)) {
        std::fprintf(stderr, "no input device\n");
        return 1;
    }
    constexpr int kBuffers = 30;
    constexpr DWORD kBytes = 192000 * 40 / 1000;
    std::vector<char> blocks(size_t(kBuffers) * kBytes);
    WAVEHDR headers[kBuffers] = {};
    for (int i = 0; i < kBuffers; ++i) {
        headers[i].lpData = blocks.data() + size_t(i) * kBytes;
        headers[i].dwBufferLength = kBytes;
        waveInPrepareHeader(wave, &headers[i], sizeof headers[i]);
        waveInAddBuffer(wave, &headers[i], sizeof headers[i]);
    }
    waveInStart(wave);
    const DWORD end = GetTickCount() + seconds * 1000;
    int next = 0;
    while (int(end - GetTickCount()) > 0) {
        WaitForSingleObject(done, 100);
        while (headers[next].dwFlags & WHDR_DONE) {
            DWORD written = 0;
            WriteFile(file, headers[next].lpData, headers[next].dwBytesRecorded, &written, nullptr);
            headers[next].dwFlags &= ~WHDR_DONE;
            waveInAddBuffer(wave, &headers[next], sizeof headers[next]);
            next = (next + 1) % kBuffers;
        }
    }
    waveInReset(wave);
    for (WAVEHDR& header : headers)
        waveInUnprepareHeader(wave, &header, sizeof header);
    waveInClose(wave);
    CloseHandle(file);
    return 0;
}
