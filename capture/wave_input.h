// The wave-input operations the capture uses, behind an interface: winmm's on Windows, a
// simulated device in tests and benchmarks. Results are 0 for success and an error code
// otherwise, as winmm's MMRESULT.
//
// Contract (winmm's): buffers come back in the order they were added. Stop hands back the
// buffer being filled, with what it holds; the other queued buffers stay queued. Reset hands
// back every queued buffer. Nothing comes back after Close.
#pragma once

#include "engine/recording_format.h"

#include <cstdint>
#include <string>

// One buffer of the capture, as a WAVEHDR describes it.
struct WaveHeader {
    uint8_t* lpData = nullptr;
    uint32_t dwBufferLength = 0;
    uint32_t dwBytesRecorded = 0; // set by TakeDone
    uint32_t dwLoops = 0;
    int index = 0; // its place in the capture's array, for the device's own records
};

class IWaveInput {
public:
    virtual ~IWaveInput() = default;

    // Opens the system's default input in this format.
    virtual uint32_t Open(const WaveFormat& format) = 0;
    virtual uint32_t Prepare(WaveHeader& header) = 0;
    virtual uint32_t AddBuffer(WaveHeader& header) = 0;
    virtual uint32_t Start() = 0;
    virtual uint32_t Stop() = 0;
    virtual uint32_t Reset() = 0;
    virtual uint32_t Unprepare(WaveHeader& header) = 0;
    virtual uint32_t Close() = 0;

    // True when the device has handed this buffer back since it was last added; its
    // dwBytesRecorded is then set. Takes the mark off, so a buffer is taken once.
    virtual bool TakeDone(WaveHeader& header) = 0;
    // Returns when a buffer may have come back, when Wake is called, or after timeoutMs.
    virtual void WaitForDone(uint32_t timeoutMs) = 0;
    // Ends the current or next WaitForDone at once. Any thread.
    virtual void Wake() = 0;

    // What identifies the input the default (the wave mapper) would open now: its audio
    // endpoint's ID where the system tells it (two inputs never share one), else its name;
    // false when it cannot be told.
    virtual bool DefaultInput(std::wstring& input) = 0;
};
