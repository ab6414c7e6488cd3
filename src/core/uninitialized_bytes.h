#pragma once
// A byte vector whose resize() leaves the new bytes as they are instead of
// zero-filling them: for buffers that are filled (from a socket) right after
// being sized, where zero-filling would be one more pass over every byte.

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace vel {

// std::allocator, except that value-initialisation (what resize() asks for)
// default-initialises, which leaves a byte untouched. Containers rebind it to
// DefaultInitAllocator<U> through its template parameter.
template <class T>
class DefaultInitAllocator : public std::allocator<T> {
public:
    DefaultInitAllocator() noexcept = default;
    template <class U>
    explicit DefaultInitAllocator(const DefaultInitAllocator<U>& /*other*/) noexcept {}

    template <class U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }

    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

using UninitializedBytes = std::vector<uint8_t, DefaultInitAllocator<uint8_t>>;

}  // namespace vel
