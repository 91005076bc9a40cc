// What an output device plays, read back as packets: the seam between the capture of the
// computer's playback and Windows' audio engine (WASAPI's loopback, on Windows; a simulated
// stream in tests and benchmarks).
//
// Threads: one thread at a time calls in; the caller serialises its calls (PlaybackWaveInput
// holds its lock across each), except Wake, which any thread may call at any time.
#pragma once

#include "capture/wave_input.h"
#include "engine/capture_source.h"
#include "engine/sample_conversion.h"

#include <cstdint>
#include <string>

// AUDCLNT_E_DEVICE_INVALIDATED: the output went away (unplugged, disabled, or Windows' default
// moved to another for a stream that follows it).
constexpr uint32_t kDeviceInvalidated = 0x88890004;

// One packet of frames in the stream's format, valid until ReleasePacket.
struct PlaybackPacket {
    const uint8_t* data = nullptr;
    uint32_t frames = 0;
    bool silent = false;        // the frames are silence, whatever data holds
    bool discontinuity = false; // frames were lost before this one (a glitch)
    bool hasPosition = false;
    uint64_t position = 0; // the device's frame count at its first frame, when known
};

class IPlaybackStream {
public:
    virtual ~IPlaybackStream() = default;

    // Opens the source's output for reading back what it plays; its format into format. 0, or
    // kSourceAbsent (the chosen output is not there), kWrongEndpointType (no loopback here), or
    // the system's code.
    virtual uint32_t Open(const CaptureSource& source, StreamFormat& format) = 0;
    // Starts the stream, reading from now on: nothing it held while stopped is read.
    virtual uint32_t Start() = 0;
    virtual uint32_t Stop() = 0;
    virtual void Close() = 0;
    // The next packet that waits: 0 and no frames when none waits; a code once the stream is
    // lost (kDeviceInvalidated), after which nothing more comes from it.
    virtual uint32_t NextPacket(PlaybackPacket& packet) = 0;
    virtual uint32_t ReleasePacket(uint32_t frames) = 0;
    // Returns when a packet may wait, when Wake is called, or after timeoutMs.
    virtual void WaitForPackets(uint32_t timeoutMs) = 0;
    virtual void Wake() = 0;
    // What identifies the output the source would open now (see IWaveInput::DefaultInput).
    virtual bool CurrentDevice(const CaptureSource& source, std::wstring& id) = 0;
};
