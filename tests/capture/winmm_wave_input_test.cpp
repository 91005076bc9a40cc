// winmm's device behind the capture, against a simulated winmm that answers the driver kit's own
// messages (mmddk.h), and against Windows' (here Wine's) own: which device an input chosen by its
// endpoint ID opens, wherever winmm numbers it today, and which input is the default.
#include "capture/audio_endpoints.h"
#include "capture/winmm_api.h"
#include "capture/winmm_wave_input.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <mmsystem.h>
#if __has_include(<mmddk.h>)
#include <mmddk.h>
#else // the driver kit's values
#define DRVM_MAPPER_PREFERRED_GET (0x2000 + 21)
#define DRV_QUERYFUNCTIONINSTANCEID (DRV_RESERVED + 17)
#define DRV_QUERYFUNCTIONINSTANCEIDSIZE (DRV_RESERVED + 18)
#endif

#include <string>
#include <vector>

namespace {

// The simulated winmm's devices, by number, and what was opened.
struct FakeDevice {
    std::wstring endpoint, name;
};
std::vector<FakeDevice> s_devices;
UINT s_preferred = 0;
std::vector<UINT> s_opened;

// As a driver answers: the size in bytes with the terminator, then the ID into a buffer of that
// size; the mapper, its preferred device.
MMRESULT WINAPI FakeMessage(HWAVEIN wave, UINT message, DWORD_PTR first, DWORD_PTR second) {
    const UINT_PTR device = reinterpret_cast<UINT_PTR>(wave);
    if (message == DRVM_MAPPER_PREFERRED_GET && device == WAVE_MAPPER) {
        *reinterpret_cast<DWORD*>(first) = s_preferred;
        return MMSYSERR_NOERROR;
    }
    if (device >= s_devices.size())
        return MMSYSERR_BADDEVICEID;
    const std::wstring& id = s_devices[device].endpoint;
    const ULONG bytes = ULONG((id.size() + 1) * sizeof(wchar_t));
    if (message == DRV_QUERYFUNCTIONINSTANCEIDSIZE)
        *reinterpret_cast<ULONG*>(first) = bytes;
    else if (message == DRV_QUERYFUNCTIONINSTANCEID && second >= bytes)
        memcpy(reinterpret_cast<void*>(first), id.c_str(), bytes);
    else
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}

const WinmmApi kFakeWinmm = {
    [](LPHWAVEIN wave, UINT device, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD) -> MMRESULT {
        s_opened.push_back(device);
        *wave = reinterpret_cast<HWAVEIN>(UINT_PTR(0x1000 + device));
        return MMSYSERR_NOERROR;
    },
    [](HWAVEIN, LPWAVEHDR, UINT) -> MMRESULT { return MMSYSERR_NOERROR; },
    [](HWAVEIN, LPWAVEHDR, UINT) -> MMRESULT { return MMSYSERR_NOERROR; },
    [](HWAVEIN) -> MMRESULT { return MMSYSERR_NOERROR; },
    [](HWAVEIN) -> MMRESULT { return MMSYSERR_NOERROR; },
    [](HWAVEIN) -> MMRESULT { return MMSYSERR_NOERROR; },
    [](HWAVEIN, LPWAVEHDR, UINT) -> MMRESULT { return MMSYSERR_NOERROR; },
    [](HWAVEIN) -> MMRESULT { return MMSYSERR_NOERROR; },
    [](MMRESULT, LPWSTR, UINT) -> MMRESULT { return MMSYSERR_NOERROR; },
    FakeMessage,
    [](UINT_PTR device, LPWAVEINCAPSW caps, UINT) -> MMRESULT {
        *caps = WAVEINCAPSW();
        lstrcpynW(caps->szPname, s_devices.at(device).name.c_str(), MAXPNAMELEN);
        return MMSYSERR_NOERROR;
    },
    []() -> UINT { return UINT(s_devices.size()); },
};

const wchar_t kMic[] = L"{0.0.1.00000000}.{6e8d8d7e-0000-4c1a-9d2b-000000000001}";
const wchar_t kUsb[] = L"{0.0.1.00000000}.{6e8d8d7e-0000-4c1a-9d2b-000000000002}";
const wchar_t kUsbTwin[] = L"{0.0.1.00000000}.{6e8d8d7e-0000-4c1a-9d2b-000000000003}";
const wchar_t kHeadset[] = L"{0.0.1.00000000}.{6e8d8d7e-0000-4c1a-9d2b-000000000004}";

// An input chosen by its ID opens that device under its number of today; an absent one opens
// nothing and says so; Windows' default goes through the wave mapper. What the device says is
// the default (to follow a new one) is its endpoint ID, asked for in the driver kit's order.
TEST(WinmmWaveInput, ChosenInputFoundByItsIdWhereverItIsNumbered) {
    const struct {
        const char* what;
        std::vector<FakeDevice> devices;
        const wchar_t* chosen; // nullptr: Windows' default
        UINT opens;            // WAVE_MAPPER + 1: nothing (absent)
        UINT preferred;        // the mapper's preferred device...
        const wchar_t* input;  // ...and what DefaultInput tells (nullptr: cannot tell)
    } cases[] = {
        // clang-format off
        {"present", {{kMic, L"Mic"}, {kUsb, L"USB Audio Device"}}, kUsb, 1, 0, kUsb},
        {"renumbered: another input came first",
         {{kHeadset, L"Headset"}, {kMic, L"Mic"}, {kUsb, L"USB Audio Device"}}, kUsb, 2, 0, kUsb},
        {"absent", {{kMic, L"Mic"}, {kHeadset, L"Headset"}}, kUsb, WAVE_MAPPER + 1, 0, nullptr},
        {"two inputs with one name", {{kUsb, L"USB Audio Device"}, {kUsbTwin, L"USB Audio Device"}},
         kUsbTwin, 1, 0, kUsbTwin},
        {"Windows' default, by the mapper's preferred device's ID",
         {{kMic, L"Mic"}, {kUsb, L"USB Audio Device"}}, nullptr, WAVE_MAPPER, 1, kUsb},
        {"Windows' default, a device without an ID: its name",
         {{L"", L"Line In"}, {kUsb, L"USB Audio Device"}}, nullptr, WAVE_MAPPER, 0, L"Line In"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s_devices = c.devices;
        s_preferred = c.preferred;
        s_opened.clear();
        const auto device = MakeWinmmWaveInput(&kFakeWinmm);
        const WaveFormat format = MakeDeviceFormat(1, 16000, 1);
        CaptureSource source;
        if (c.chosen)
            source.device = c.chosen;
        const uint32_t result = device->Open(format, source);
        if (c.opens == WAVE_MAPPER + 1) {
            EXPECT_EQ(result, kSourceAbsent);
            EXPECT_TRUE(s_opened.empty()) << "never another device";
        } else {
            EXPECT_EQ(result, uint32_t(MMSYSERR_NOERROR));
            EXPECT_EQ(s_opened, std::vector<UINT>{c.opens});
        }
        std::wstring input;
        EXPECT_EQ(device->DefaultInput(input), c.input != nullptr);
        if (c.input) {
            EXPECT_EQ(input, c.input);
        }
        if (result == MMSYSERR_NOERROR)
            device->Close();
    }
}

// What winmm itself says is the default input is the input Windows' device enumerator calls its
// default, by the same endpoint ID.
TEST(WinmmWaveInput, DefaultInputIsWindowsDefaultEndpoint) {
    std::wstring windows;
    if (!DefaultEndpointId(SOURCE_INPUT, false, windows))
        GTEST_SKIP() << "no input on this computer";
    const auto device = MakeWinmmWaveInput();
    std::wstring winmm;
    ASSERT_TRUE(device->DefaultInput(winmm));
    EXPECT_EQ(winmm, windows);
    std::wstring name;
    EXPECT_TRUE(EndpointName(winmm, name)) << "a name Windows shows";
}

} // namespace
