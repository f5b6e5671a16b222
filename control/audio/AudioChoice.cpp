// SPDX-License-Identifier: GPL-3.0-or-later
// What the user chose for the next call's audio, what went wrong with it, and the input level.
#include "AudioChoice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A meter that stands still this long shows nothing: the device stopped.
constexpr int64_t STALE_MS = 500;
// The meter's floor: quieter than this reads 0.
constexpr double FLOOR_DB = -60.0;

} // namespace

AudioChoice& AudioChoice::Instance() {
    static AudioChoice choice;
    return choice;
}

void AudioChoice::SetCapture(const std::string& setting) {
    std::lock_guard lock(m_mutex);
    m_capture = setting;
}

void AudioChoice::SetPlayback(const std::string& setting) {
    std::lock_guard lock(m_mutex);
    m_playback = setting;
}

std::string AudioChoice::Capture() const {
    std::lock_guard lock(m_mutex);
    return m_capture;
}

std::string AudioChoice::Playback() const {
    std::lock_guard lock(m_mutex);
    return m_playback;
}

void AudioChoice::ReportLevel(const int16_t* samples, int count) {
    int peak = 0;
    for (int i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    // Decibels, because a meter in amplitude shows speech at a tenth of its travel.
    int level = 0;
    if (peak > 0) {
        const double db = 20.0 * std::log10(peak / 32768.0);
        level = static_cast<int>(std::lround(100.0 * (db - FLOOR_DB) / -FLOOR_DB));
        level = std::clamp(level, 0, 100);
    }
    m_level.store(level);
    m_levelAtMs.store(NowMs());
}

int AudioChoice::Level() const {
    if (NowMs() - m_levelAtMs.load() > STALE_MS)
        return 0;
    return m_level.load();
}
