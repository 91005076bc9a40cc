#include "capture/both_sides_wave_input.h"

#include "monitor/monitor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

namespace {

constexpr uint32_t kError = 1;      // MMSYSERR_ERROR
constexpr uint32_t kNoMemory = 7;   // MMSYSERR_NOMEM
constexpr uint32_t kBadFormat = 32; // WAVERR_BADFORMAT
constexpr size_t kMostBuffers = 64;

// Mono 16-bit PCM at the rate: what each side is opened in.
WaveFormat MonoFormat(uint32_t rate) {
    WaveFormat format;
    format.wFormatTag = 1;
    format.nChannels = 1;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = rate * 2;
    return format;
}

// Each side's 16-bit mono samples, as the conversions read a device's.
const StreamFormat kMono16 = {0, 1, ENCODING_INT16, 0};

} // namespace

BothSidesWaveInput::BothSidesWaveInput(IWaveInput& input, IWaveInput& playback)
    : m_input(input), m_playback(playback) {}

BothSidesWaveInput::~BothSidesWaveInput() {
    EndFarThread();
    std::lock_guard<std::mutex> lock(m_farLock);
    if (m_farOpen)
        CloseFar(false);
}

uint32_t BothSidesWaveInput::Open(const WaveFormat& format, const CaptureSource& source) {
    return OpenSides(format, source, false);
}

uint32_t BothSidesWaveInput::Reopen(const WaveFormat& format, const CaptureSource& source) {
    return OpenSides(format, source, true);
}

// 1. The microphone, the recording's clock; away while the recording waits for it, the output
// alone on its own clock. 2. The output, whose absence or refusal fails the first opening with its
// own code (an opening again leaves it to be waited for). 3. The follower and the far side's
// thread.
uint32_t BothSidesWaveInput::OpenSides(const WaveFormat& format, const CaptureSource& source,
                                       bool again) {
    if (format.wFormatTag != 1 || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) ||
        (format.nChannels != 1 && format.nChannels != 2) || format.nSamplesPerSec == 0)
        return kBadFormat;
    std::unique_lock<std::mutex> lock(m_farLock);
    if (m_open)
        return kError;
    m_format = format;
    m_nearFormat = MonoFormat(format.nSamplesPerSec);
    m_source = source;
    const size_t farFrames = size_t(format.nSamplesPerSec) * kFarBufferMs / 1000;
    try {
        m_follower = std::make_unique<DriftFollower>(format.nSamplesPerSec, farFrames);
        m_farIn.reset(new float[farFrames]);
        for (SideBuffer& far : m_far)
            far.data.reset(new uint8_t[farFrames * 2]); // this rate's
        if (m_near.empty())
            m_near.resize(kMostBuffers);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    for (int i = 0; i < kFarBuffers; ++i) {
        m_far[i].header = WaveHeader();
        m_far[i].header.lpData = m_far[i].data.get();
        m_far[i].header.dwBufferLength = uint32_t(farFrames * 2);
        m_far[i].header.index = i;
    }
    m_running = m_quit = false;
    m_farWaiting = m_farClocked = m_nearBack = false;
    m_nearQuietFrames = 0;
    if (const uint32_t code = m_input.Open(m_nearFormat, source.Input())) {
        if (!again || m_playback.Open(m_nearFormat, source.Playback()))
            return code;
        m_farClocked = true;
    } else if (const uint32_t farCode = OpenFar()) {
        if (again) {
            m_farWaiting = true; // the microphone records; the output is waited for
        } else {
            m_input.Close();
            return farCode == kSourceAbsent ? kOutputAbsent : farCode;
        }
    }
    if (!m_farThread.joinable()) {
        try {
            m_farThread = std::thread(&BothSidesWaveInput::FarThread, this);
        } catch (const std::system_error&) {
            if (m_farOpen)
                CloseFar(false);
            Clock().Close();
            m_farClocked = false;
            return kNoMemory;
        }
    }
    m_open = true;
    return 0;
}

uint32_t BothSidesWaveInput::OpenFar() {
    if (const uint32_t code = m_playback.Open(m_nearFormat, m_source.Playback()))
        return code;
    m_farNext = 0;
    for (SideBuffer& far : m_far) {
        uint32_t code = m_playback.Prepare(far.header);
        if (!code)
            code = m_playback.AddBuffer(far.header);
        if (code) {
            m_farOpen = true;
            CloseFar(false);
            return code;
        }
    }
    m_follower->Reset();
    m_farOpen = true;
    if (m_running && m_playback.Start()) {
        CloseFar(true);
        return 0; // opened, and lost again at once: waited for
    }
    m_farWaiting = false;
    return 0;
}

void BothSidesWaveInput::CloseFar(bool lost) {
    m_playback.Reset();
    for (SideBuffer& far : m_far) {
        m_playback.TakeDone(far.header);
        m_playback.Unprepare(far.header);
    }
    m_playback.Close();
    m_farOpen = false;
    if (lost)
        m_farWaiting = true;
}

// The microphone's buffer, one of its own of the same frames in mono 16-bit.
uint32_t BothSidesWaveInput::Prepare(WaveHeader& header) {
    if (header.index < 0 || size_t(header.index) >= m_near.size() || !m_format.nBlockAlign)
        return kError;
    const size_t frames = header.dwBufferLength / m_format.nBlockAlign;
    SideBuffer& near = m_near[size_t(header.index)];
    try {
        if (!near.data || near.header.dwBufferLength < frames * 2)
            near.data.reset(new uint8_t[frames * 2]);
        if (frames > m_mostFrames) {
            m_farFrames.reset(new float[frames]);
            m_mix.reset(new float[frames * 2]);
            m_mostFrames = frames;
        }
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    near.header = WaveHeader();
    near.header.lpData = near.data.get();
    near.header.dwBufferLength = uint32_t(frames * 2);
    near.header.index = header.index;
    return Clock().Prepare(near.header);
}

// The microphone back while the output alone records: the buffer is refused, so the capture
// gives this opening up and opens both sides again, the microphone the clock once more.
uint32_t BothSidesWaveInput::AddBuffer(WaveHeader& header) {
    if (header.index < 0 || size_t(header.index) >= m_near.size())
        return kError;
    if (m_farClocked && m_nearBack)
        return kSourceAbsent;
    return Clock().AddBuffer(m_near[size_t(header.index)].header);
}

uint32_t BothSidesWaveInput::Unprepare(WaveHeader& header) {
    if (header.index < 0 || size_t(header.index) >= m_near.size())
        return kError;
    return Clock().Unprepare(m_near[size_t(header.index)].header);
}

// The output's sound starts anew with the microphone's: what it brought while paused is let go.
// An output that will not start is waited for; the microphone's refusal is the recording's.
uint32_t BothSidesWaveInput::Start() {
    if (m_farClocked)
        return m_playback.Start();
    {
        std::lock_guard<std::mutex> lock(m_farLock);
        m_running = true;
        if (m_farOpen) {
            TakeFar(false);
            m_follower->Reset();
            if (m_playback.Start())
                CloseFar(true);
        }
    }
    const uint32_t code = m_input.Start();
    if (code) {
        std::lock_guard<std::mutex> lock(m_farLock);
        m_running = false;
        if (m_farOpen)
            m_playback.Stop();
    }
    return code;
}

uint32_t BothSidesWaveInput::Stop() {
    if (m_farClocked)
        return m_playback.Stop();
    const uint32_t code = m_input.Stop();
    if (code)
        return code; // it records on, and so does the output
    std::lock_guard<std::mutex> lock(m_farLock);
    m_running = false;
    if (m_farOpen)
        m_playback.Stop();
    return 0;
}

uint32_t BothSidesWaveInput::Reset() {
    {
        std::lock_guard<std::mutex> lock(m_farLock);
        m_running = false;
    }
    return Clock().Reset();
}

// The far side's thread ends before the output closes: it may be reading it.
uint32_t BothSidesWaveInput::Close() {
    if (const uint32_t code = Clock().Close())
        return code;
    EndFarThread();
    std::lock_guard<std::mutex> lock(m_farLock);
    if (m_farOpen)
        CloseFar(false);
    m_open = m_running = false;
    m_farWaiting = m_farClocked = false;
    return 0;
}

void BothSidesWaveInput::EndFarThread() {
    if (!m_farThread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_farLock);
        m_quit = true;
    }
    m_farWake.notify_all();
    m_playback.Wake();
    m_farThread.join();
}

// The microphone's frames, and as many of the output's from the follower.
bool BothSidesWaveInput::TakeDone(WaveHeader& header) {
    if (header.index < 0 || size_t(header.index) >= m_near.size())
        return false;
    SideBuffer& near = m_near[size_t(header.index)];
    if (!Clock().TakeDone(near.header))
        return false;
    const size_t frames = std::min<size_t>(near.header.dwBytesRecorded / 2,
                                           header.dwBufferLength / m_format.nBlockAlign);
    int16_t samples[512] = {};
    size_t at = 0;
    if (m_farClocked) {
        ToFloatFrames(near.data.get(), frames, kMono16, 1,
                      m_farFrames.get()); // the output's, the microphone silent
    } else {
        m_follower->Pull(m_farFrames.get(), frames);
        CountNearQuiet(near.data.get(), frames);
    }
    while (at < frames) {
        const size_t n = std::min<size_t>(512, frames - at);
        if (!m_farClocked)
            std::memcpy(samples, near.data.get() + at * 2, n * 2);
        MixSides(samples, m_farFrames.get() + at, n, m_format.nChannels, m_format.wBitsPerSample,
                 m_quantiser, m_mix.get(), header.lpData + at * m_format.nBlockAlign);
        at += n;
    }
    header.dwBytesRecorded = uint32_t(frames * m_format.nBlockAlign);
    return true;
}

// A block is quiet when no sample reaches kQuietPeak16 either way, as the monitor judges one.
void BothSidesWaveInput::CountNearQuiet(const uint8_t* pcm, size_t frames) {
    bool quiet = true;
    for (size_t i = 0; i < frames && quiet; ++i) {
        int16_t sample;
        std::memcpy(&sample, pcm + 2 * i, 2);
        quiet = sample < kQuietPeak16 && sample > -kQuietPeak16;
    }
    m_nearQuietFrames = quiet ? m_nearQuietFrames + frames : 0;
}

uint32_t BothSidesWaveInput::NearQuietMs() const {
    const uint32_t rate = m_nearFormat.nSamplesPerSec;
    return rate ? uint32_t(m_nearQuietFrames * 1000 / rate) : 0;
}

bool BothSidesWaveInput::DefaultInput(std::wstring& input) {
    return !m_farClocked && m_input.DefaultInput(input);
}

WaitingSide BothSidesWaveInput::SideWaiting() const {
    return m_farClocked ? SIDE_NEAR : m_farWaiting ? SIDE_FAR : SIDE_NONE;
}

DriftFollower::Figures BothSidesWaveInput::Follower() const {
    std::lock_guard<std::mutex> lock(m_farLock);
    return m_follower ? m_follower->Read() : DriftFollower::Figures();
}

// While the output is open: its buffers as they come back. While it is away: an opening every
// kFarReopenMs.
void BothSidesWaveInput::FarThread() {
    for (;;) {
        bool open;
        {
            std::unique_lock<std::mutex> lock(m_farLock);
            if (m_quit)
                return;
            if (m_farClocked) { // the microphone away: is it there again?
                m_farWake.wait_for(lock, std::chrono::milliseconds(kFarReopenMs),
                                   [&] { return m_quit; });
                std::wstring near;
                if (!m_quit && m_input.DefaultInput(near))
                    m_nearBack = true;
                continue;
            }
            open = m_farOpen;
            if (!open) {
                m_farWake.wait_for(lock, std::chrono::milliseconds(kFarReopenMs),
                                   [&] { return m_quit; });
                if (m_quit)
                    return;
                if (!m_farOpen)
                    OpenFar();
                continue;
            }
        }
        m_playback.WaitForDone(50);
        std::lock_guard<std::mutex> lock(m_farLock);
        if (!m_quit && m_farOpen && !TakeFar(true))
            CloseFar(true);
    }
}

bool BothSidesWaveInput::TakeFar(bool keep) {
    while (m_playback.TakeDone(m_far[m_farNext].header)) {
        SideBuffer& far = m_far[m_farNext];
        if (keep) {
            const size_t frames = far.header.dwBytesRecorded / 2;
            ToFloatFrames(far.data.get(), frames, kMono16, 1, m_farIn.get());
            m_follower->Push(m_farIn.get(), frames);
        }
        if (m_playback.AddBuffer(far.header))
            return false;
        m_farNext = (m_farNext + 1) % kFarBuffers;
    }
    return true;
}
