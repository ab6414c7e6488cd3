#pragma once
// Counts the process's heap allocations through operator new (the library's
// containers, strings and JSON documents all allocate through it). Include in
// exactly one source of a benchmark program: it replaces the global operators.
// Allocations on other threads count too, so measure while nothing else runs.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace velbench {

inline std::atomic<uint64_t> allocationCount{0};

// Allocations made by f().
template <class F>
uint64_t allocationsOf(F&& f) {
    const uint64_t before = allocationCount.load();
    f();
    return allocationCount.load() - before;
}

}  // namespace velbench

void* operator new(std::size_t size) {
    velbench::allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    velbench::allocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
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
