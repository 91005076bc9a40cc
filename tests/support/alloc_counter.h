// Counts the heap allocations the calling thread makes while counting is on. The test program
// that links alloc_counter.cpp has its operator new replaced.
#pragma once

void StartCountingAllocations();
// Stops counting and returns how many allocations the thread made since the start.
int StopCountingAllocations();
