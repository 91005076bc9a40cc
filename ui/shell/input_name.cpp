#include "ui/shell/input_name.h"

#include <windows.h>

#include <mmdeviceapi.h>
#include <propidl.h>

namespace {

// Defined here, as the SDK's headers define them only with INITGUID.
const CLSID kDeviceEnumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
const IID kIDeviceEnumerator = {
    0xa95664d2, 0x9614, 0x4f35, {0xa7, 0x46, 0xde, 0x8d, 0xb6, 0x36, 0x17, 0xe6}};
const PROPERTYKEY kFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

template <class T> void ReleaseOf(T*& object) {
    if (object)
        object->Release();
    object = nullptr;
}

// An endpoint ID reads "{0.0.1.00000000}.{...}": its flow and state, then its GUID.
bool IsEndpointId(const std::wstring& input) {
    return input.size() > 20 && input.compare(0, 5, L"{0.0.") == 0;
}

bool FriendlyName(const std::wstring& endpoint, std::wstring& name) {
    IMMDeviceEnumerator* devices = nullptr;
    IMMDevice* device = nullptr;
    IPropertyStore* properties = nullptr;
    bool found = false;
    if (SUCCEEDED(CoCreateInstance(kDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                                   kIDeviceEnumerator, reinterpret_cast<void**>(&devices))) &&
        SUCCEEDED(devices->GetDevice(endpoint.c_str(), &device)) &&
        SUCCEEDED(device->OpenPropertyStore(STGM_READ, &properties))) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(properties->GetValue(kFriendlyName, &value)) && value.vt == VT_LPWSTR &&
            value.pwszVal && *value.pwszVal) {
            name = value.pwszVal;
            found = true;
        }
        PropVariantClear(&value);
    }
    ReleaseOf(properties);
    ReleaseOf(device);
    ReleaseOf(devices);
    return found;
}

} // namespace

std::wstring InputDisplayName(const std::wstring& input) {
    std::wstring name;
    if (IsEndpointId(input) && FriendlyName(input, name))
        return name;
    return IsEndpointId(input) ? std::wstring() : input;
}
