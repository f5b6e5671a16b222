// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time clock for inputs without a device clock: a deadline for each buffer by its length.
#include "AudioInputPacer.h"


namespace {

AudioInputPacer::Clock::duration DurationOf(int64_t samples, int rate) {
    return std::chrono::duration_cast<AudioInputPacer::Clock::duration>(
        std::chrono::microseconds(samples * 1000000 / rate));
}

} // namespace

void AudioInputPacer::Restart(int rate, Clock::time_point now) {
    m_origin = now;
    m_samples = 0;
    m_rate = rate;
}

AudioInputPacer::Clock::time_point AudioInputPacer::NextDeadline(int samples,
                                                                 Clock::time_point now) {
    m_samples += samples;
    Clock::time_point deadline = m_origin + DurationOf(m_samples, m_rate);
    if (now - deadline > MAX_LAG) {
        m_origin = now - DurationOf(m_samples, m_rate);
        deadline = now;
    }
    return deadline;
}
