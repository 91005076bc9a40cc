#include "capture/audio_endpoints.h"

#include "capture/audio_guids.h"
#include "engine/win32_handles.h"

#include <mmdeviceapi.h>
#include <propidl.h>

namespace {

ComPtr<IMMDeviceEnumerator> Enumerator() {
    ComPtr<IMMDeviceEnumerator> devices;
    if (ComReadyForThisThread())
        CoCreateInstance(kClsidDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                         kIidDeviceEnumerator, devices.PutVoid());
    return devices;
}

std::wstring IdOf(IMMDevice& device) {
    LPWSTR text = nullptr;
    if (FAILED(device.GetId(&text)) || !text)
        return std::wstring();
    const CoTaskMemory<wchar_t> owned(text);
    return std::wstring(text);
}

bool FriendlyName(IMMDevice& device, std::wstring& name) {
    ComPtr<IPropertyStore> properties;
    if (FAILED(device.OpenPropertyStore(STGM_READ, properties.Put())))
        return false;
    PROPVARIANT value;
    PropVariantInit(&value);
    const bool found = SUCCEEDED(properties->GetValue(kFriendlyNameKey, &value)) &&
                       value.vt == VT_LPWSTR && value.pwszVal && *value.pwszVal;
    if (found)
        name = value.pwszVal;
    PropVariantClear(&value);
    return found;
}

EDataFlow FlowOf(SourceKind kind) {
    return kind == SOURCE_PLAYBACK ? eRender : eCapture;
}

} // namespace

// Once a thread, for the thread's life: COM is not uninitialised as a thread ends, since that may
// come during the process's exit (the main thread's, in a test), where it can hang (Wine's did).
bool ComReadyForThisThread() {
    static thread_local const bool ready = [] {
        const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
    }();
    return ready;
}

std::vector<AudioEndpoint> ActiveEndpoints(SourceKind kind) {
    std::vector<AudioEndpoint> endpoints;
    const ComPtr<IMMDeviceEnumerator> devices = Enumerator();
    ComPtr<IMMDeviceCollection> collection;
    UINT count = 0;
    if (!devices ||
        FAILED(devices->EnumAudioEndpoints(FlowOf(kind), DEVICE_STATE_ACTIVE, collection.Put())) ||
        FAILED(collection->GetCount(&count)))
        return endpoints;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        if (FAILED(collection->Item(i, device.Put())))
            continue;
        AudioEndpoint endpoint;
        endpoint.id = IdOf(*device.Get());
        if (endpoint.id.empty())
            continue;
        if (!FriendlyName(*device.Get(), endpoint.name))
            endpoint.name = endpoint.id;
        endpoints.push_back(std::move(endpoint));
    }
    return endpoints;
}

bool DefaultEndpointId(SourceKind kind, bool communications, std::wstring& id) {
    const ComPtr<IMMDeviceEnumerator> devices = Enumerator();
    ComPtr<IMMDevice> device;
    if (!devices || FAILED(devices->GetDefaultAudioEndpoint(
                        FlowOf(kind), communications ? eCommunications : eConsole, device.Put())))
        return false;
    id = IdOf(*device.Get());
    return !id.empty();
}

bool EndpointName(const std::wstring& id, std::wstring& name) {
    const ComPtr<IMMDeviceEnumerator> devices = Enumerator();
    ComPtr<IMMDevice> device;
    return devices && !id.empty() && SUCCEEDED(devices->GetDevice(id.c_str(), device.Put())) &&
           FriendlyName(*device.Get(), name);
}

bool IsEndpointActive(const std::wstring& id) {
    const ComPtr<IMMDeviceEnumerator> devices = Enumerator();
    ComPtr<IMMDevice> device;
    DWORD state = 0;
    return devices && !id.empty() && SUCCEEDED(devices->GetDevice(id.c_str(), device.Put())) &&
           SUCCEEDED(device->GetState(&state)) && state == DEVICE_STATE_ACTIVE;
}
