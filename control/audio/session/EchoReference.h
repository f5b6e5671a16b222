// SPDX-License-Identifier: GPL-3.0-or-later
// What a control's output devices last handed to their sinks: the echo canceller's reference.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

// One per audio session (a control's): its output devices append each period as they hand
// it over, so the capture side sees the real device delay, and the capture thread reads it
// back by absolute sample position.
//
// Threads: Append runs on output device threads, Read on the capture thread, Position
// on an input's device thread (to stamp a filled buffer). The samples are guarded by
// m_mutex; the position is also kept in an atomic, so stamping never waits on a lock.
class EchoReference {
public:
    // About two seconds at 16 kHz (four at 8 kHz): more than any device round trip plus
    // the canceller's tail.
    static constexpr size_t CAPACITY = 32768;

    void Append(const int16_t* samples, size_t count);
    // Samples appended since the session began.
    uint64_t Position() const { return m_position.load(std::memory_order_acquire); }
    // Copies samples [start, start + count); those not (or no longer) held are zero.
    void Read(uint64_t start, int16_t* out, size_t count) const;

private:
    mutable std::mutex m_mutex;
    std::array<int16_t, CAPACITY> m_ring{}; // guarded; sample p sits at p % CAPACITY
    std::atomic<uint64_t> m_position{0};    // written under m_mutex
};
