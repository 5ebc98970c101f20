#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace audioengine {

// A fixed ring for one producer thread and one consumer thread, without locks
// or allocation, so that the audio callback may be either end. The producer
// fills a slot in place (beginWrite, then commitWrite); the consumer reads the
// front slot in place (front, then pop).
template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
    // The slot to fill next, or nullptr when the ring is full.
    T *beginWrite() noexcept
    {
        const std::uint64_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) >= Capacity)
            return nullptr;
        return &slots_[head % Capacity];
    }
    void commitWrite() noexcept { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

    bool push(const T &value) noexcept
    {
        T *slot = beginWrite();
        if (slot == nullptr)
            return false;
        *slot = value;
        commitWrite();
        return true;
    }

    // The oldest slot written, or nullptr when the ring is empty.
    T *front() noexcept
    {
        const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire))
            return nullptr;
        return &slots_[tail % Capacity];
    }
    void pop() noexcept { tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

    std::size_t size() const noexcept
    {
        return static_cast<std::size_t>(head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire));
    }
    static constexpr std::size_t capacity() noexcept { return Capacity; }

private:
    std::array<T, Capacity> slots_{};
    alignas(64) std::atomic<std::uint64_t> head_{0};
    alignas(64) std::atomic<std::uint64_t> tail_{0};
};

} // namespace audioengine
