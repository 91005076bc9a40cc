#include "capture/winmm_api.h"

#include "engine/system_library.h"

namespace {

template <class Function> bool Take(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

WinmmApi Load(bool& complete) {
    WinmmApi api = {};
    const HMODULE module = LoadSystemLibrary(L"winmm.dll");
    complete = module && Take(module, "waveInOpen", api.Open) &&
               Take(module, "waveInPrepareHeader", api.PrepareHeader) &&
               Take(module, "waveInAddBuffer", api.AddBuffer) &&
               Take(module, "waveInStart", api.Start) && Take(module, "waveInStop", api.Stop) &&
               Take(module, "waveInReset", api.Reset) &&
               Take(module, "waveInUnprepareHeader", api.UnprepareHeader) &&
               Take(module, "waveInClose", api.Close) &&
               Take(module, "waveInGetErrorTextW", api.GetErrorText) &&
               Take(module, "waveInMessage", api.Message) &&
               Take(module, "waveInGetDevCapsW", api.GetDevCaps) &&
               Take(module, "waveInGetNumDevs", api.GetNumDevs);
    return api;
}

} // namespace

const WinmmApi* Winmm() {
    static bool complete = false;
    static const WinmmApi api = Load(complete);
    return complete ? &api : nullptr;
}
