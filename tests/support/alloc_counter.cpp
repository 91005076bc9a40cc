#include "tests/support/alloc_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool t_counting = false;
thread_local int t_allocations = 0;
} // namespace

void StartCountingAllocations() {
    t_allocations = 0;
    t_counting = true;
}

int StopCountingAllocations() {
    t_counting = false;
    return t_allocations;
}

#if defined(__GNUC__) && !defined(__clang__)
// GCC takes the replaced operators below for a mismatched pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (t_counting)
        ++t_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (t_counting)
        ++t_allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
