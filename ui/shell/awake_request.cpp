#include "ui/shell/awake_request.h"

#include "engine/system_library.h"

#include <cstddef>
#include <utility>

namespace {

// The power requests of Windows 7 and later, looked up so that a system without them only
// lacks the name in powercfg's list.
using PowerCreateRequestFn = HANDLE WINAPI(PREASON_CONTEXT);
using PowerRequestFn = BOOL WINAPI(HANDLE, POWER_REQUEST_TYPE);
using CallNtPowerInformationFn = LONG WINAPI(POWER_INFORMATION_LEVEL, PVOID, ULONG, PVOID, ULONG);

} // namespace

// The execution state keeps the system from idle sleep; the power request says why (and keeps
// it too). Neither keeps the display on. A request that cannot be made is no error: the
// execution state is enough.
void CAwakeRequest::Follow(bool recording, bool display, const std::wstring& reason) {
    if (recording == m_held)
        return FollowDisplay(recording && display);
    m_held = recording;
    auto* setRequest = SystemFunction<PowerRequestFn>(L"kernel32.dll", "PowerSetRequest");
    auto* clearRequest = SystemFunction<PowerRequestFn>(L"kernel32.dll", "PowerClearRequest");
    if (!recording) {
        FollowDisplay(false);
        if (m_request && clearRequest)
            clearRequest(m_request.Get(), PowerRequestSystemRequired);
        m_request.Reset();
        SetThreadExecutionState(ES_CONTINUOUS);
        return;
    }
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    auto* create = SystemFunction<PowerCreateRequestFn>(L"kernel32.dll", "PowerCreateRequest");
    if (!create || !setRequest || !clearRequest)
        return FollowDisplay(display);
    m_reason = reason;
    REASON_CONTEXT context = {};
    context.Version = POWER_REQUEST_CONTEXT_VERSION;
    context.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    context.Reason.SimpleReasonString = &m_reason[0];
    UniqueHandle request(create(&context));
    if (request && setRequest(request.Get(), PowerRequestSystemRequired))
        m_request = std::move(request);
    FollowDisplay(display);
}

// The display's request beside the system's, on the same power request where there is one.
void CAwakeRequest::FollowDisplay(bool display) {
    if (display == m_display)
        return;
    m_display = display;
    SetThreadExecutionState(ES_CONTINUOUS | (m_held ? ES_SYSTEM_REQUIRED : 0) |
                            (display ? ES_DISPLAY_REQUIRED : 0));
    if (!m_request)
        return;
    auto* set = SystemFunction<PowerRequestFn>(L"kernel32.dll",
                                               display ? "PowerSetRequest" : "PowerClearRequest");
    if (set)
        set(m_request.Get(), PowerRequestDisplayRequired);
}

// SYSTEM_POWER_CAPABILITIES.AoAc ("always on, always connected"): Modern Standby. A system that
// cannot tell has none.
bool CAwakeRequest::HasModernStandby() {
    auto* call =
        SystemFunction<CallNtPowerInformationFn>(L"powrprof.dll", "CallNtPowerInformation");
    SYSTEM_POWER_CAPABILITIES capabilities = {};
    if (!call || call(SystemPowerCapabilities, nullptr, 0, &capabilities, sizeof capabilities) != 0)
        return false;
    // AoAc is the byte before DiskSpinDown (older headers call it spare2[2]).
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&capabilities);
    return bytes[offsetof(SYSTEM_POWER_CAPABILITIES, DiskSpinDown) - 1] != 0;
}

PowerSource CAwakeRequest::Source() {
    SYSTEM_POWER_STATUS status;
    if (!GetSystemPowerStatus(&status))
        return POWER_UNKNOWN;
    return status.ACLineStatus == 1   ? POWER_AC
           : status.ACLineStatus == 0 ? POWER_BATTERY
                                      : POWER_UNKNOWN;
}
