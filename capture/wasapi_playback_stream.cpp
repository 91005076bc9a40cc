#include "capture/wasapi_playback_stream.h"

#include "capture/audio_endpoints.h"
#include "capture/audio_guids.h"
#include "engine/win32_handles.h"

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

namespace {

constexpr REFERENCE_TIME kBufferDuration = 10000000; // a second, in 100 ns units
// A session's flag: its volume control is not shown in the volume mixer.
constexpr DWORD kSessionHidden = 0x20000000;   // AUDCLNT_SESSIONFLAGS_DISPLAY_HIDE
constexpr DWORD kStreamNoPersist = 0x00080000; // AUDCLNT_STREAMFLAGS_NOPERSIST
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr HRESULT kUnsupportedFormat = HRESULT(0x88890008); // AUDCLNT_E_UNSUPPORTED_FORMAT
constexpr HRESULT kNoCom = HRESULT(0x800401F0);             // CO_E_NOTINITIALIZED

// The mix format, as the conversion reads it; false for one it cannot (64-bit float, odd sizes).
bool ReadMixFormat(const WAVEFORMATEX& wave, StreamFormat& format) {
    WORD tag = wave.wFormatTag;
    WORD valid = wave.wBitsPerSample;
    format.channelMask = 0;
    if (tag == WAVE_FORMAT_EXTENSIBLE && wave.cbSize >= 22) {
        const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(wave);
        tag = IsEqualGUID(extensible.SubFormat, kSubtypeFloat) ? WAVE_FORMAT_IEEE_FLOAT
              : IsEqualGUID(extensible.SubFormat, kSubtypePcm) ? WAVE_FORMAT_PCM
                                                               : 0;
        if (extensible.Samples.wValidBitsPerSample)
            valid = extensible.Samples.wValidBitsPerSample;
        format.channelMask = extensible.dwChannelMask;
    }
    format.rate = wave.nSamplesPerSec;
    format.channels = wave.nChannels;
    if (tag == WAVE_FORMAT_IEEE_FLOAT && wave.wBitsPerSample == 32)
        format.encoding = ENCODING_FLOAT32;
    else if (tag == WAVE_FORMAT_PCM && wave.wBitsPerSample == 8)
        format.encoding = ENCODING_UINT8;
    else if (tag == WAVE_FORMAT_PCM && wave.wBitsPerSample == 16)
        format.encoding = ENCODING_INT16;
    else if (tag == WAVE_FORMAT_PCM && wave.wBitsPerSample == 24)
        format.encoding = ENCODING_INT24;
    else if (tag == WAVE_FORMAT_PCM && wave.wBitsPerSample == 32 && valid <= 32)
        format.encoding = ENCODING_INT32;
    else
        return false;
    return format.IsUsable() && wave.nBlockAlign == format.BlockAlign();
}

// The input the tests name in place of an output's loopback, when it is one.
ComPtr<IMMDevice> TestEndpoint(IMMDeviceEnumerator& devices, std::wstring& id) {
    ComPtr<IMMDevice> device;
    wchar_t text[512];
    const DWORD length = GetEnvironmentVariableW(L"SONARIX_LOOPBACK_ENDPOINT", text, 512);
    if (length == 0 || length >= 512 || FAILED(devices.GetDevice(text, device.Put())))
        return ComPtr<IMMDevice>();
    ComPtr<IMMEndpoint> endpoint;
    EDataFlow flow = eRender;
    if (FAILED(device->QueryInterface(kIidEndpoint, endpoint.PutVoid())) ||
        FAILED(endpoint->GetDataFlow(&flow)) || flow != eCapture)
        return ComPtr<IMMDevice>();
    id = text;
    return device;
}

class WasapiPlaybackStream : public IPlaybackStream {
public:
    WasapiPlaybackStream() : m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~WasapiPlaybackStream() override { Close(); }

    // 1. The device: the tests' input, else the source's output (Windows' default, its default
    // communications output, or the chosen one while it is there and active). 2. Its client in
    // its mix format, in loopback for an output. 3. The silent stream beside it.
    uint32_t Open(const CaptureSource& source, StreamFormat& format) override {
        Close();
        if (!ComReadyForThisThread())
            return uint32_t(kNoCom);
        ComPtr<IMMDeviceEnumerator> devices;
        HRESULT result = CoCreateInstance(kClsidDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                                          kIidDeviceEnumerator, devices.PutVoid());
        if (FAILED(result))
            return uint32_t(result);
        ComPtr<IMMDevice> device = TestEndpoint(*devices.Get(), m_testEndpoint);
        const bool loopback = !device;
        if (loopback) {
            m_testEndpoint.clear();
            if (source.FollowsDefault())
                result = devices->GetDefaultAudioEndpoint(
                    eRender, source.IsCommunications() ? eCommunications : eConsole, device.Put());
            else if (IsEndpointActive(source.device))
                result = devices->GetDevice(source.device.c_str(), device.Put());
            else
                return kSourceAbsent;
            if (result == kNotFound)
                return kSourceAbsent; // no output at all
            if (FAILED(result))
                return uint32_t(result);
        }
        result = device->Activate(kIidAudioClient, CLSCTX_ALL, nullptr, m_client.PutVoid());
        WAVEFORMATEX* mix = nullptr;
        if (SUCCEEDED(result))
            result = m_client->GetMixFormat(&mix);
        if (FAILED(result))
            return Failed(result);
        const CoTaskMemory<WAVEFORMATEX> mixOwned(mix);
        if (!ReadMixFormat(*mix, format))
            return Failed(kUnsupportedFormat);
        result = m_client->Initialize(AUDCLNT_SHAREMODE_SHARED,
                                      loopback ? AUDCLNT_STREAMFLAGS_LOOPBACK : 0, kBufferDuration,
                                      0, mix, nullptr);
        if (SUCCEEDED(result))
            result = m_client->GetService(kIidAudioCaptureClient, m_capture.PutVoid());
        if (FAILED(result))
            return Failed(result);
        if (loopback && FAILED(result = OpenSilence(*device.Get(), *mix)))
            return Failed(result);
        return 0;
    }

    uint32_t Start() override {
        if (!m_client)
            return uint32_t(E_UNEXPECTED);
        ComReadyForThisThread();
        if (m_silence) {
            const HRESULT result = m_silence->Start();
            if (FAILED(result))
                return uint32_t(result);
        }
        // What a stopped stream holds is discarded (Wine's goes on taking sound while stopped):
        // nothing from a pause is read after it.
        HRESULT result = m_client->Reset();
        if (SUCCEEDED(result) || result == AUDCLNT_E_NOT_STOPPED)
            result = m_client->Start();
        if (FAILED(result) && m_silence)
            m_silence->Stop();
        return FAILED(result) ? uint32_t(result) : 0;
    }

    uint32_t Stop() override {
        if (!m_client)
            return uint32_t(E_UNEXPECTED);
        ComReadyForThisThread();
        const HRESULT result = m_client->Stop();
        if (m_silence)
            m_silence->Stop();
        return FAILED(result) ? uint32_t(result) : 0;
    }

    void Close() override {
        m_capture.Reset();
        m_client.Reset();
        m_silenceRender.Reset();
        m_silence.Reset();
    }

    // The silent stream is kept full first, so the output's engine never runs dry.
    uint32_t NextPacket(PlaybackPacket& packet) override {
        packet = PlaybackPacket();
        if (!m_capture)
            return uint32_t(E_UNEXPECTED);
        ComReadyForThisThread();
        KeepSilencePlaying();
        UINT32 waiting = 0;
        HRESULT result = m_capture->GetNextPacketSize(&waiting);
        if (FAILED(result))
            return uint32_t(result); // AUDCLNT_E_DEVICE_INVALIDATED: the output went away
        if (waiting == 0)
            return 0;
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        UINT64 position = 0;
        result = m_capture->GetBuffer(&data, &frames, &flags, &position, nullptr);
        if (FAILED(result))
            return uint32_t(result);
        if (result == AUDCLNT_S_BUFFER_EMPTY)
            return 0;
        packet.data = data;
        packet.frames = frames;
        packet.silent = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0;
        packet.discontinuity = (flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) != 0;
        packet.hasPosition = true;
        packet.position = position;
        return 0;
    }

    uint32_t ReleasePacket(uint32_t frames) override {
        if (!m_capture)
            return uint32_t(E_UNEXPECTED);
        const HRESULT result = m_capture->ReleaseBuffer(frames);
        return FAILED(result) ? uint32_t(result) : 0;
    }

    // Loopback has no event of its own on every Windows: the stream is looked at this often.
    void WaitForPackets(uint32_t timeoutMs) override {
        WaitForSingleObject(m_wake.Get(), timeoutMs);
    }
    void Wake() override { SetEvent(m_wake.Get()); }

    bool CurrentDevice(const CaptureSource& source, std::wstring& id) override {
        if (!m_testEndpoint.empty()) {
            id = m_testEndpoint;
            return true;
        }
        if (source.FollowsDefault())
            return DefaultEndpointId(SOURCE_PLAYBACK, source.IsCommunications(), id);
        if (!IsEndpointActive(source.device))
            return false;
        id = source.device;
        return true;
    }

private:
    uint32_t Failed(HRESULT result) {
        Close();
        return uint32_t(result);
    }

    // A stream of silence into the output, its session hidden, started and stopped with the
    // loopback.
    HRESULT OpenSilence(IMMDevice& device, const WAVEFORMATEX& mix) {
        GUID session = {};
        HRESULT result = CoCreateGuid(&session);
        if (SUCCEEDED(result))
            result = device.Activate(kIidAudioClient, CLSCTX_ALL, nullptr, m_silence.PutVoid());
        if (SUCCEEDED(result))
            result =
                m_silence->Initialize(AUDCLNT_SHAREMODE_SHARED, kSessionHidden | kStreamNoPersist,
                                      kBufferDuration, 0, &mix, &session);
        if (SUCCEEDED(result))
            result = m_silence->GetBufferSize(&m_silenceFrames);
        if (SUCCEEDED(result))
            result = m_silence->GetService(kIidAudioRenderClient, m_silenceRender.PutVoid());
        if (SUCCEEDED(result))
            KeepSilencePlaying();
        return result;
    }

    void KeepSilencePlaying() {
        UINT32 padding = 0;
        BYTE* data = nullptr;
        if (!m_silenceRender || FAILED(m_silence->GetCurrentPadding(&padding)) ||
            padding >= m_silenceFrames)
            return;
        const UINT32 free = m_silenceFrames - padding;
        if (SUCCEEDED(m_silenceRender->GetBuffer(free, &data)))
            m_silenceRender->ReleaseBuffer(free, AUDCLNT_BUFFERFLAGS_SILENT);
    }

    UniqueHandle m_wake;
    ComPtr<IAudioClient> m_client;
    ComPtr<IAudioCaptureClient> m_capture;
    ComPtr<IAudioClient> m_silence;
    ComPtr<IAudioRenderClient> m_silenceRender;
    UINT32 m_silenceFrames = 0;
    std::wstring m_testEndpoint; // the input read in place of an output, for tests
};

} // namespace

std::unique_ptr<IPlaybackStream> MakeWasapiPlaybackStream() {
    return std::make_unique<WasapiPlaybackStream>();
}
