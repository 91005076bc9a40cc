// The millisecond tick count (GetTickCount on Windows), behind a function that tests replace to
// step time.
#pragma once

#include <cstdint>

using TickFunction = uint32_t (*)();

// Milliseconds since some fixed moment, wrapping at 2^32.
uint32_t GetTicks();

// Replaces the clock; nullptr puts the system's clock back.
void SetTickFunction(TickFunction function);

// The disk thread's clock (the flush cadence, the free-space watch): the same system clock, but
// replaced on its own, so that a test steps the flushes without the capture's silence rule or
// the elapsed time seeing time pass.
uint32_t GetDiskTicks();
void SetDiskTickFunction(TickFunction function);
