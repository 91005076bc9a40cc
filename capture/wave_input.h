// The wave-input operations the capture uses, behind an interface: winmm's on Windows, a
// simulated device in tests and benchmarks. Results are 0 for success and an error code
// otherwise, as winmm's MMRESULT.
//
// Contract (winmm's): buffers come back in the order they were added. Stop hands back the
// buffer being filled, with what it holds; the other queued buffers stay queued. Reset hands
// back every queued buffer. Nothing comes back after Close.
#pragma once

#include "engine/capture_source.h"
#include "engine/recording_format.h"

#include <cstdint>
#include <string>

// What Open answers, besides the device's own codes, when the chosen device is not there (taken
// away, or never plugged into this computer): the capture waits for that device, never another.
constexpr uint32_t kSourceAbsent = 0xA0001001;
// ...and when the chosen output of a source of both sides is not there (its input's absence
// answers kSourceAbsent).
constexpr uint32_t kOutputAbsent = 0xA0001002;
// AUDCLNT_E_WRONG_ENDPOINT_TYPE: the system cannot read back what an output plays (Windows without
// loopback capture, Wine).
constexpr uint32_t kWrongEndpointType = 0x88890003;

// Of a source of two sides, the one that is away: the microphone (the first) or the output.
enum WaitingSide { SIDE_NONE, SIDE_NEAR, SIDE_FAR };

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

    // Opens the source's device in this format: Windows' default (or default communications)
    // device as it is now, or the one of the source's endpoint ID wherever the system numbers it
    // today (kSourceAbsent when it is not there).
    virtual uint32_t Open(const WaveFormat& format, const CaptureSource& source) = 0;
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

    // What identifies the device the source of the last Open would open now: its audio
    // endpoint's ID where the system tells it (two devices never share one), else its name;
    // false when it cannot be told (a chosen device that is not there). For a source that follows
    // Windows' default, a new answer means a new default.
    virtual bool DefaultInput(std::wstring& input) = 0;
    // An opening again while the source is waited for (the capture's own retries): as Open, but a
    // source of two sides may then open with one side away (see BothSidesWaveInput).
    virtual uint32_t Reopen(const WaveFormat& format, const CaptureSource& source) {
        return Open(format, source);
    }
    // A source of two sides: which side is away and waited for, its channel silent meanwhile,
    // while the other records on. Any thread.
    virtual WaitingSide SideWaiting() const { return SIDE_NONE; }
    // A source of two sides: how long (ms of its sound) the microphone has given only quiet sound
    // (the monitor's rule for a quiet block), whatever the other side plays. Any thread.
    virtual uint32_t NearQuietMs() const { return 0; }
};
