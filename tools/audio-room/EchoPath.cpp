// SPDX-License-Identifier: GPL-3.0-or-later
// A loudspeaker-to-microphone path: bulk delay, a few reflections and the room's noise.
#include "EchoPath.h"

#include <algorithm>
#include <cmath>

std::vector<EchoPath::Tap> EchoPath::SmallRoom(double gain) {
    // Walls, ceiling and furniture: alternating signs, decaying with distance.
    return {{0, gain},          {23, -0.45 * gain},  {61, 0.3 * gain},  {137, -0.2 * gain},
            {251, 0.12 * gain}, {389, -0.07 * gain}, {521, 0.04 * gain}};
}

EchoPath::EchoPath(int bulkDelay, std::vector<Tap> taps, double noiseDbfs, uint32_t seed)
    : m_taps(std::move(taps)), m_bulkDelay(std::max(bulkDelay, 0)),
      m_noiseRms(noiseDbfs < -120 ? 0.0 : 32768.0 * std::pow(10.0, noiseDbfs / 20.0)),
      m_random(seed) {
    int longest = 0;
    for (const Tap& tap : m_taps)
        longest = std::max(longest, tap.delay);
    m_history.assign(static_cast<size_t>(m_bulkDelay + longest + 1), 0);
}

double EchoPath::Next(int16_t played) {
    const size_t size = m_history.size();
    m_head = (m_head + 1) % size;
    m_history[m_head] = played;
    double echo = 0;
    for (const Tap& tap : m_taps)
        echo += tap.gain *
                m_history[(m_head + size - static_cast<size_t>(m_bulkDelay + tap.delay)) % size];
    m_lastEcho = echo;
    return m_noiseRms > 0 ? echo + m_noiseRms * m_normal(m_random) : echo;
}

int16_t ToSample(double value) {
    return static_cast<int16_t>(std::lround(std::clamp(value, -32768.0, 32767.0)));
}
