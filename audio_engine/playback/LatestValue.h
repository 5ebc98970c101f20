#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace audioengine {

// The latest of a value that one thread writes and another reads, without
// locks or allocation (a triple buffer): the writer never waits and never
// fails, the reader always gets the newest value written as a whole. Values
// written in between are skipped, which is the point: the reader wants a
// state, not a history.
template <typename T>
class LatestValue {
public:
    LatestValue() = default;
    explicit LatestValue(const T &value) { slots_.fill(value); }

    // Writer side.
    void publish(const T &value) noexcept
    {
        slots_[back_] = value;
        back_ = middle_.exchange(static_cast<std::uint8_t>(back_ | kFresh), std::memory_order_acq_rel) & kIndex;
    }

    // Reader side: the newest value published, or the one read last time
    // when nothing new came.
    const T &read() noexcept
    {
        if ((middle_.load(std::memory_order_relaxed) & kFresh) != 0)
            front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndex;
        return slots_[front_];
    }

    // Both sides at once, for a reset while neither runs.
    void reset(const T &value) noexcept
    {
        slots_.fill(value);
        back_ = 0;
        middle_.store(1, std::memory_order_relaxed);
        front_ = 2;
    }

private:
    static constexpr std::uint8_t kIndex = 3;
    static constexpr std::uint8_t kFresh = 4;

    std::array<T, 3> slots_{};
    std::uint8_t back_ = 0;                 // the writer's slot
    alignas(64) std::atomic<std::uint8_t> middle_{1}; // the slot between them, and whether it is new
    alignas(64) std::uint8_t front_ = 2;    // the reader's slot
};

} // namespace audioengine
