// How the VST3 object hands work and values between the main thread and the
// audio thread without a lock the audio thread could wait on: one owner of
// the effect at a time, a state waiting for the next process call, and a
// published copy of the chunk for readers on any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "plugin/vst3/process_barrier.h"

namespace vst3_plugin {

// Who may touch the effect right now. The audio thread only ever tries (a
// process call that finds the effect taken skips its audio); main-thread
// calls wait, which they may.
//
// Where the system has a process-wide barrier, the audio thread's side is a
// plain store and a plain load: it marks itself inside, then looks whether a
// main-thread call holds the effect. The main-thread side raises its flag,
// runs the barrier (after which the audio thread either sees the flag or has
// made its mark visible) and waits for the audio thread to leave. Elsewhere
// both sides take one flag with a locked exchange.
class EffectOwner {
public:
    EffectOwner() : asymmetric_(ProcessBarrierAvailable()) {}

    // Audio thread, around a process call: false when a main-thread call holds the effect.
    bool Enter() {
        if (!asymmetric_) return !held_.exchange(true, std::memory_order_acquire);
        inside_.store(true, std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (!held_.load(std::memory_order_acquire)) return true;
        inside_.store(false, std::memory_order_release);
        return false;
    }
    void Leave() {
        if (asymmetric_) inside_.store(false, std::memory_order_release);
        else held_.store(false, std::memory_order_release);
    }

    // Any other call, on any thread: takes the effect if nobody has it.
    bool TryTake() {
        if (held_.exchange(true, std::memory_order_acquire)) return false;
        if (!asymmetric_) return true;
        ProcessBarrier();
        if (!inside_.load(std::memory_order_acquire)) return true;
        held_.store(false, std::memory_order_release);
        return false;
    }
    // Waits until it has the effect: for another call to give it back, and
    // for a process call under way to end. A wait longer than any process
    // call takes means the caller is inside one itself (a host calling back
    // into the object from process), and is given up: false.
    bool Take() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        const auto waited = [deadline] {
            std::this_thread::yield();
            return std::chrono::steady_clock::now() > deadline;
        };
        while (held_.exchange(true, std::memory_order_acquire))
            if (waited()) return false;
        if (!asymmetric_) return true;
        ProcessBarrier();
        while (inside_.load(std::memory_order_acquire)) {
            if (waited()) {
                held_.store(false, std::memory_order_release);
                return false;
            }
        }
        return true;
    }
    void Give() { held_.store(false, std::memory_order_release); }

private:
    static constexpr std::chrono::seconds kPatience{1};
    const bool asymmetric_;
    std::atomic<bool> held_{false};
    std::atomic<bool> inside_{false};
};

// Held for one main-thread call's scope, if Take got it: the call checks.
class OwnedScope {
public:
    explicit OwnedScope(EffectOwner& owner) : owner_(owner), held_(owner_.Take()) {}
    ~OwnedScope() {
        if (held_) owner_.Give();
    }
    explicit operator bool() const { return held_; }
    OwnedScope(const OwnedScope&) = delete;
    OwnedScope& operator=(const OwnedScope&) = delete;

private:
    EffectOwner& owner_;
    const bool held_;
};

// A state the main thread has read, waiting for the effect's owner to load
// it. Only the main thread writes the bytes; the owner reads them while the
// stage says so.
class PendingState {
public:
    // Main thread, at construction: room for the largest state ever kept.
    bool Allocate(std::int32_t capacity) {
        bytes_.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(capacity)]);
        capacity_ = bytes_ ? capacity : 0;
        return bytes_ != nullptr;
    }

    // Main thread: replaces a state not yet taken; waits while the owner reads one.
    void Post(const unsigned char* bytes, std::int32_t count) {
        for (;;) {
            int stage = stage_.load(std::memory_order_acquire);
            if (stage != kTaking && stage_.compare_exchange_weak(stage, kWriting, std::memory_order_acquire)) break;
            std::this_thread::yield();
        }
        count_ = count < capacity_ ? count : capacity_;
        std::memcpy(bytes_.get(), bytes, static_cast<std::size_t>(count_));
        stage_.store(kReady, std::memory_order_release);
    }

    // The effect's owner, any thread: hands a waiting state to load and answers whether there was one.
    template <class Load>
    bool Take(Load&& load) {
        int stage = kReady;
        if (!stage_.compare_exchange_strong(stage, kTaking, std::memory_order_acquire)) return false;
        load(bytes_.get(), count_);
        stage_.store(kEmpty, std::memory_order_release);
        return true;
    }

    // The effect's owner: whether a state may be waiting, at the cost of a plain load.
    bool Ready() const { return stage_.load(std::memory_order_relaxed) == kReady; }

    // Main thread: the waiting state's bytes, or null. Its own writes are the
    // only ones, so reading needs no stage change.
    const unsigned char* Waiting(std::int32_t* count) const {
        const int stage = stage_.load(std::memory_order_acquire);
        if (stage != kReady && stage != kTaking) return nullptr;
        *count = count_;
        return bytes_.get();
    }

private:
    enum : int { kEmpty, kWriting, kReady, kTaking };
    std::atomic<int> stage_{kEmpty};
    std::unique_ptr<unsigned char[]> bytes_;
    std::int32_t capacity_ = 0;
    std::int32_t count_ = 0;
};

// The effect's chunk as its owner last published it, for readers on other
// threads: a sequence lock over words that are atomics themselves, so a
// reader retries rather than ever seeing a torn copy. Release stores and
// acquire loads of the words order them against the sequence without fences.
class PublishedChunk {
public:
    bool Allocate(std::int32_t capacity) {
        const auto words = static_cast<std::size_t>((capacity + 3) / 4);
        words_.reset(new (std::nothrow) std::atomic<std::uint32_t>[words]);
        if (!words_) return false;
        for (std::size_t i = 0; i < words; ++i) words_[i].store(0, std::memory_order_relaxed);
        capacity_ = capacity;
        return true;
    }

    // The effect's owner only: one writer at a time.
    void Publish(const void* bytes, std::int32_t size) {
        if (!bytes || size < 0) size = 0;
        if (size > capacity_) size = capacity_;
        const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
        sequence_.store(sequence + 1, std::memory_order_relaxed);
        const auto* source = static_cast<const unsigned char*>(bytes);
        for (std::int32_t w = 0; w * 4 < size; ++w) {
            std::uint32_t word = 0;
            std::memcpy(&word, source + w * 4, static_cast<std::size_t>(size - w * 4 < 4 ? size - w * 4 : 4));
            words_[static_cast<std::size_t>(w)].store(word, std::memory_order_release);
        }
        size_.store(size, std::memory_order_release);
        sequence_.store(sequence + 2, std::memory_order_release);
    }

    // Any thread: copies the chunk into bytes (capacity bytes or more) and answers its size.
    std::int32_t Read(void* bytes) const {
        auto* target = static_cast<unsigned char*>(bytes);
        for (;;) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            if (before & 1u) {
                std::this_thread::yield();
                continue;
            }
            const std::int32_t size = size_.load(std::memory_order_acquire);
            for (std::int32_t w = 0; w * 4 < size; ++w) {
                const std::uint32_t word = words_[static_cast<std::size_t>(w)].load(std::memory_order_acquire);
                std::memcpy(target + w * 4, &word, static_cast<std::size_t>(size - w * 4 < 4 ? size - w * 4 : 4));
            }
            if (sequence_.load(std::memory_order_relaxed) == before) return size;
        }
    }

private:
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::int32_t> size_{0};
    std::unique_ptr<std::atomic<std::uint32_t>[]> words_;
    std::int32_t capacity_ = 0;
};

} // namespace vst3_plugin
