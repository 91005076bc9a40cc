#include "engine/clock.h"

#include <atomic>
#include <chrono>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

uint32_t SystemTicks() {
#ifdef _WIN32
    return GetTickCount();
#else
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
#endif
}

std::atomic<TickFunction> g_tickFunction{SystemTicks};
std::atomic<TickFunction> g_diskTickFunction{SystemTicks};

} // namespace

uint32_t GetTicks() {
    return g_tickFunction.load(std::memory_order_relaxed)();
}

void SetTickFunction(TickFunction function) {
    g_tickFunction = function ? function : SystemTicks;
}

uint32_t GetDiskTicks() {
    return g_diskTickFunction.load(std::memory_order_relaxed)();
}

void SetDiskTickFunction(TickFunction function) {
    g_diskTickFunction = function ? function : SystemTicks;
}
