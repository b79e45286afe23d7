#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace volumira {

// Leaves new elements uninitialised on resize(n), so that a buffer about to be overwritten in full
// (by inflate, by a file read) is not cleared first; resize(n, value) still fills.
template <typename T>
struct DefaultInitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <typename U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this), p,
                                                            std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>>;

} // namespace volumira
