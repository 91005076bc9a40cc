// What keeps the computer from sleeping while a recording runs, is paused or waits for its
// input: whether a capture holds the system awake is up to the audio driver, and a laptop that
// sleeps in the middle of a lecture cuts it. The display may sleep. Held by the window thread,
// which alone asks and lets go (the execution state is the calling thread's).
#pragma once

#include <windows.h>

#include <string>

class CAwakeRequest {
public:
    CAwakeRequest() = default;
    ~CAwakeRequest() { Follow(false); }
    CAwakeRequest(const CAwakeRequest&) = delete;
    CAwakeRequest& operator=(const CAwakeRequest&) = delete;

    // Held from the first call with recording true to the first with false; reason is what
    // Windows shows for the request (powercfg /requests).
    void Follow(bool recording, const std::wstring& reason = std::wstring());

private:
    bool m_held = false;
    HANDLE m_request = nullptr; // the power request, where Windows has them
    std::wstring m_reason;
};
