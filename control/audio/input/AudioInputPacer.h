// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time clock for inputs without a device clock: a deadline for each buffer by its length.
#pragma once

#include <chrono>
#include <cstdint>

// Deadlines are absolute (origin + samples so far at the rate), so sleeping late never adds
// drift. Used by one thread at a time: set up before the device thread starts, then
// only there.
class AudioInputPacer {
public:
    using Clock = std::chrono::steady_clock;
    // Past this lag the clock jumps forward instead of handing over a long burst,
    // as a device whose ring of five 120 ms periods overran would.
    static constexpr auto MAX_LAG = std::chrono::milliseconds(600);

    void Restart(int rate, Clock::time_point now = Clock::now());
    // When a buffer of `samples` samples following the previous one is due.
    Clock::time_point NextDeadline(int samples, Clock::time_point now = Clock::now());

private:
    Clock::time_point m_origin{};
    int64_t m_samples = 0;
    int m_rate = 8000;
};
