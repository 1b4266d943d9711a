// Lock-free hand-over between the audio thread and the main thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace brio_clap {

// One writer publishes whole values, one reader takes the latest, neither ever
// waits: three slots, one owned by each side and one in between, exchanged
// atomically. The writer role may move between threads only where the host
// orders the calls (activate, process, deactivate).
template <class T>
class TripleBuffer {
public:
    // Writer: fill the slot, then publish it.
    T& back() { return slots_[back_]; }
    void publish() { back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndex; }

    // Reader: the latest published value (the previous one while none is new).
    const T& read() {
        if (middle_.load(std::memory_order_acquire) & kFresh)
            front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndex;
        return slots_[front_];
    }

private:
    static constexpr unsigned kIndex = 3, kFresh = 4;
    static_assert(std::atomic<unsigned>::is_always_lock_free, "the audio thread never waits for a lock");
    T slots_[3]{};
    unsigned back_ = 0, front_ = 1;
    std::atomic<unsigned> middle_{2};
};

} // namespace brio_clap
