#include "ui/shell/awake_request.h"

#include "engine/system_library.h"

namespace {

// The power requests of Windows 7 and later, looked up so that a system without them only
// lacks the name in powercfg's list.
using PowerCreateRequestFn = HANDLE WINAPI(PREASON_CONTEXT);
using PowerRequestFn = BOOL WINAPI(HANDLE, POWER_REQUEST_TYPE);

} // namespace

// The execution state keeps the system from idle sleep; the power request says why (and keeps
// it too). Neither keeps the display on. A request that cannot be made is no error: the
// execution state is enough.
void CAwakeRequest::Follow(bool recording, const std::wstring& reason) {
    if (recording == m_held)
        return;
    m_held = recording;
    auto* setRequest = SystemFunction<PowerRequestFn>(L"kernel32.dll", "PowerSetRequest");
    auto* clearRequest = SystemFunction<PowerRequestFn>(L"kernel32.dll", "PowerClearRequest");
    if (!recording) {
        if (m_request) {
            if (clearRequest)
                clearRequest(m_request, PowerRequestSystemRequired);
            CloseHandle(m_request);
            m_request = nullptr;
        }
        SetThreadExecutionState(ES_CONTINUOUS);
        return;
    }
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    auto* create = SystemFunction<PowerCreateRequestFn>(L"kernel32.dll", "PowerCreateRequest");
    if (!create || !setRequest || !clearRequest)
        return;
    m_reason = reason;
    REASON_CONTEXT context = {};
    context.Version = POWER_REQUEST_CONTEXT_VERSION;
    context.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    context.Reason.SimpleReasonString = &m_reason[0];
    const HANDLE request = create(&context);
    if (request == INVALID_HANDLE_VALUE || !request)
        return;
    if (!setRequest(request, PowerRequestSystemRequired)) {
        CloseHandle(request);
        return;
    }
    m_request = request;
}
