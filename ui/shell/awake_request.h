// What keeps the computer from sleeping while a recording runs, is paused or waits for its
// input: whether a capture holds the system awake is up to the audio driver, and a laptop that
// sleeps in the middle of a lecture cuts it. The display may sleep, but where Windows honours
// only a display's request (Modern Standby on battery: AwakeRule) it is kept on too. Held by the
// window thread, which alone asks and lets go (the execution state is the calling thread's).
#pragma once

#include "app/awake_rule.h"
#include "engine/win32_handles.h"

#include <windows.h>

#include <string>

class CAwakeRequest {
public:
    CAwakeRequest() = default;
    ~CAwakeRequest() { Follow(false); }
    CAwakeRequest(const CAwakeRequest&) = delete;
    CAwakeRequest& operator=(const CAwakeRequest&) = delete;

    // Held from the first call with recording true to the first with false, the display with
    // it while display is true; reason is what Windows shows for the request (powercfg
    // /requests).
    void Follow(bool recording, bool display = false, const std::wstring& reason = std::wstring());

    // The computer's power: whether it has Modern Standby (the system's requests end a few
    // minutes after the display goes off there, on battery), and what it runs on now.
    static bool HasModernStandby();
    static PowerSource Source();

private:
    void FollowDisplay(bool display);

    bool m_held = false;
    bool m_display = false;
    UniqueHandle m_request; // the power request, where Windows has them
    std::wstring m_reason;
};
