// Inputs through winmm's wave-input functions: Windows' default input (the wave mapper), its
// default communications input, or an input chosen by its audio endpoint ID, found among the
// devices winmm numbers today. Completion is signalled with CALLBACK_EVENT: winmm sets the event,
// and the capture thread looks at the headers in queue order, so nothing runs inside winmm's
// callback at all.
#pragma once

#include "capture/wave_input.h"

#include <memory>

struct WinmmApi;

// Through the given functions (tests put their own in place); null: winmm's own.
std::unique_ptr<IWaveInput> MakeWinmmWaveInput(const WinmmApi* api = nullptr);
