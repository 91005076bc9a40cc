#include "capture/winmm_wave_input.h"

#include "capture/audio_endpoints.h"
#include "capture/winmm_api.h"

#include "engine/win32_handles.h"

#include <windows.h>

#include <mmsystem.h>

#include <new>

namespace {

// From the driver kit's mmddk.h, which the SDK does not carry. DRVM_MAPPER_PREFERRED_GET: the
// wave mapper's preferred device. DRV_QUERYFUNCTIONINSTANCEID and its size,
// DRV_QUERYFUNCTIONINSTANCEIDSIZE: a device's audio endpoint ID, as "Device Roles for Legacy
// Windows Multimedia Applications" asks.
constexpr UINT kMapperPreferredGet = 0x2000 + 21;  // DRVM_MAPPER + 21
constexpr UINT kQueryInstanceId = 0x0800 + 17;     // DRV_RESERVED + 17
constexpr UINT kQueryInstanceIdSize = 0x0800 + 18; // DRV_RESERVED + 18
constexpr size_t kLongestEndpointId = 2048;        // characters; real ones are ~55

class WinmmWaveInput : public IWaveInput {
public:
    explicit WinmmWaveInput(const WinmmApi* api)
        : m_api(api), m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~WinmmWaveInput() override {
        if (m_wave) {
            m_api->Reset(m_wave);
            if (m_api->Close(m_wave) != MMSYSERR_NOERROR)
                (void)m_headers.release(); // the device may still hold them: never freed
        }
    }

    // 1. Which device: the wave mapper for Windows' default input, else the device whose
    // endpoint ID is the source's (or the communications default's) under its number of today.
    // 2. The headers. 3. The device opened.
    uint32_t Open(const WaveFormat& format, const CaptureSource& source) override {
        if (!m_api)
            return MMSYSERR_NODRIVER; // no winmm in the system folder
        if (!m_event)
            return MMSYSERR_NOMEM;
        if (source.kind != SOURCE_INPUT)
            return MMSYSERR_NOTSUPPORTED;
        m_source = source;
        UINT device = WAVE_MAPPER;
        if (!source.device.empty()) {
            std::wstring endpoint = source.device;
            if (source.IsCommunications() && !DefaultEndpointId(SOURCE_INPUT, true, endpoint))
                return MMSYSERR_BADDEVICEID; // no input at all
            const UINT found = Find(endpoint);
            if (found == WAVE_MAPPER)
                return source.IsCommunications() ? MMSYSERR_BADDEVICEID : kSourceAbsent;
            device = found;
        }
        if (m_wave) {
            // The last device would not close and may still hold its headers: they are left
            // to it, and this recording gets headers of its own.
            (void)m_headers.release();
            m_wave = nullptr;
        }
        m_headers.reset(new (std::nothrow) WAVEHDR[kHeaders]());
        if (!m_headers)
            return MMSYSERR_NOMEM;
        WAVEFORMATEX wfx = {};
        wfx.wFormatTag = format.wFormatTag;
        wfx.nChannels = format.nChannels;
        wfx.nSamplesPerSec = format.nSamplesPerSec;
        wfx.nAvgBytesPerSec = format.nAvgBytesPerSec;
        wfx.nBlockAlign = format.nBlockAlign;
        wfx.wBitsPerSample = format.wBitsPerSample;
        wfx.cbSize = 0;
        ResetEvent(m_event.Get());
        HWAVEIN wave = nullptr;
        const MMRESULT result = m_api->Open(
            &wave, device, &wfx, reinterpret_cast<DWORD_PTR>(m_event.Get()), 0, CALLBACK_EVENT);
        if (result == MMSYSERR_NOERROR)
            m_wave = wave;
        return result;
    }

    uint32_t Prepare(WaveHeader& header) override {
        WAVEHDR& h = Header(header);
        h = WAVEHDR();
        h.lpData = reinterpret_cast<LPSTR>(header.lpData);
        h.dwBufferLength = header.dwBufferLength;
        h.dwLoops = header.dwLoops;
        return m_api->PrepareHeader(m_wave, &h, sizeof h);
    }
    uint32_t AddBuffer(WaveHeader& header) override {
        WAVEHDR& h = Header(header);
        return m_api->AddBuffer(m_wave, &h, sizeof h);
    }
    uint32_t Start() override { return m_api->Start(m_wave); }
    uint32_t Stop() override { return m_api->Stop(m_wave); }
    uint32_t Reset() override { return m_api->Reset(m_wave); }
    uint32_t Unprepare(WaveHeader& header) override {
        WAVEHDR& h = Header(header);
        return m_api->UnprepareHeader(m_wave, &h, sizeof h);
    }
    uint32_t Close() override {
        const MMRESULT result = m_api->Close(m_wave);
        if (result == MMSYSERR_NOERROR)
            m_wave = nullptr;
        return result;
    }

    // winmm sets WHDR_DONE from its own thread; the flag is read and cleared with interlocked
    // operations (the header is ours again once it is set).
    bool TakeDone(WaveHeader& header) override {
        WAVEHDR& h = Header(header);
        auto* flags = reinterpret_cast<volatile LONG*>(&h.dwFlags);
        const LONG seen = InterlockedCompareExchange(flags, 0, 0);
        if (!(seen & WHDR_DONE))
            return false;
        header.dwBytesRecorded = h.dwBytesRecorded;
        InterlockedAnd(flags, ~LONG(WHDR_DONE));
        return true;
    }
    void WaitForDone(uint32_t timeoutMs) override { WaitForSingleObject(m_event.Get(), timeoutMs); }
    void Wake() override { SetEvent(m_event.Get()); }

    // Windows' default input now: the wave mapper's preferred device (asked of the mapper itself,
    // by its id in place of a handle), by its endpoint ID, else by its name (cut to 31
    // characters, so two inputs may share one); the communications default by its endpoint ID;
    // a chosen input by its own ID while winmm has it.
    bool DefaultInput(std::wstring& input) override {
        if (!m_api)
            return false;
        if (m_source.IsCommunications())
            return DefaultEndpointId(SOURCE_INPUT, true, input);
        if (!m_source.device.empty()) {
            if (Find(m_source.device) == WAVE_MAPPER)
                return false;
            input = m_source.device;
            return true;
        }
        // winmm looks for its devices when first asked for them (Wine's answers no preferred
        // device before that).
        if (m_api->GetNumDevs() == 0)
            return false;
        DWORD id = DWORD(-1), flags = 0;
        if (m_api->Message(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(WAVE_MAPPER)),
                           kMapperPreferredGet, reinterpret_cast<DWORD_PTR>(&id),
                           reinterpret_cast<DWORD_PTR>(&flags)) != MMSYSERR_NOERROR ||
            id == DWORD(-1))
            return false;
        if (EndpointId(id, input))
            return true;
        WAVEINCAPSW caps = {};
        if (m_api->GetDevCaps(id, &caps, sizeof caps) != MMSYSERR_NOERROR)
            return false;
        input = caps.szPname;
        return true;
    }

private:
    // The device's audio endpoint ID (Windows Vista on), asked of the device by its number:
    // first its size in bytes, the terminator included, then the text.
    bool EndpointId(UINT id, std::wstring& endpoint) const {
        const HWAVEIN device = reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(id));
        // Windows writes a ULONG there, Wine a DWORD_PTR: room for either, zeroed.
        uint64_t bytes = 0;
        if (m_api->Message(device, kQueryInstanceIdSize, reinterpret_cast<DWORD_PTR>(&bytes), 0) !=
                MMSYSERR_NOERROR ||
            bytes < 2 * sizeof(wchar_t) || bytes > kLongestEndpointId * sizeof(wchar_t))
            return false;
        std::wstring text(size_t(bytes) / sizeof(wchar_t), L'\0');
        if (m_api->Message(device, kQueryInstanceId, reinterpret_cast<DWORD_PTR>(&text[0]),
                           DWORD_PTR(bytes)) != MMSYSERR_NOERROR)
            return false;
        text.resize(wcsnlen(text.c_str(), text.size()));
        if (text.empty())
            return false;
        endpoint = text;
        return true;
    }

    // The number winmm gives today to the input of this endpoint ID (any case), or WAVE_MAPPER
    // when it has none: numbers shift as other inputs come and go, the ID stays.
    UINT Find(const std::wstring& endpoint) const {
        const UINT count = m_api->GetNumDevs();
        for (UINT n = 0; n < count; ++n) {
            std::wstring id;
            if (EndpointId(n, id) &&
                CompareStringOrdinal(id.c_str(), int(id.size()), endpoint.c_str(),
                                     int(endpoint.size()), TRUE) == CSTR_EQUAL)
                return n;
        }
        return WAVE_MAPPER;
    }

    static constexpr int kHeaders = 64;
    WAVEHDR& Header(const WaveHeader& header) { return m_headers[header.index & (kHeaders - 1)]; }

    const WinmmApi* const m_api;
    UniqueHandle m_event;
    HWAVEIN m_wave = nullptr;
    CaptureSource m_source;
    // The headers winmm holds between prepare and unprepare; allocated per device opened.
    std::unique_ptr<WAVEHDR[]> m_headers;
};

} // namespace

std::unique_ptr<IWaveInput> MakeWinmmWaveInput(const WinmmApi* api) {
    return std::make_unique<WinmmWaveInput>(api ? api : Winmm());
}
