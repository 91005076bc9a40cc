// The system's default input through winmm's wave-input functions. Completion is signalled
// with CALLBACK_EVENT: winmm sets the event, and the capture thread looks at the headers in
// queue order, so nothing runs inside winmm's callback at all.
#pragma once

#include "capture/wave_input.h"

#include <memory>

std::unique_ptr<IWaveInput> MakeWinmmWaveInput();
