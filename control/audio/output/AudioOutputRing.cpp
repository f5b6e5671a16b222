// SPDX-License-Identifier: GPL-3.0-or-later
// The looping output buffer shared between the owner's thread and a device thread.
#include "AudioOutputRing.h"

#include <algorithm>
#include <cstring>
#include <utility>

AudioOutputRing::AudioOutputRing(uint32_t bytes, Released released)
    : m_size(bytes), m_released(std::move(released)), m_staging(bytes, 0), m_data(bytes, 0) {}

AudioOutputRing::~AudioOutputRing() {
    if (m_released) {
        m_released(this);
    }
}

bool AudioOutputRing::Lock(uint32_t offset, uint32_t bytes, uint8_t** region1, uint32_t* length1,
                           uint8_t** region2, uint32_t* length2) {
    if (m_locked || region1 == nullptr || length1 == nullptr || region2 == nullptr ||
        length2 == nullptr || offset >= m_size || bytes == 0 || bytes > m_size) {
        return false;
    }
    const uint32_t first = std::min(bytes, m_size - offset);
    const uint32_t second = bytes - first;
    {
        // The regions start out holding what the buffer holds, as a lock of device
        // memory would, so a partial write leaves the rest unchanged.
        std::lock_guard lock(m_mutex);
        std::memcpy(m_staging.data() + offset, m_data.data() + offset, first);
        std::memcpy(m_staging.data(), m_data.data(), second);
    }
    *region1 = m_staging.data() + offset;
    *length1 = first;
    *region2 = second > 0 ? m_staging.data() : nullptr;
    *length2 = second;
    m_locked = true;
    m_lockOffset = offset;
    m_lockBytes = bytes;
    return true;
}

bool AudioOutputRing::Unlock(uint8_t* region1, uint32_t length1, uint8_t* region2,
                             uint32_t length2) {
    if (!m_locked) {
        return false;
    }
    const uint32_t first = std::min(m_lockBytes, m_size - m_lockOffset);
    const uint32_t second = m_lockBytes - first;
    const bool matches = region1 == m_staging.data() + m_lockOffset && length1 == first &&
                         length2 == second &&
                         (second == 0 ? region2 == nullptr : region2 == m_staging.data());
    // A mismatched unlock still ends the lock, but commits nothing.
    m_locked = false;
    if (!matches) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    std::memcpy(m_data.data() + m_lockOffset, m_staging.data() + m_lockOffset, first);
    std::memcpy(m_data.data(), m_staging.data(), second);
    return true;
}

bool AudioOutputRing::Play() {
    std::lock_guard lock(m_mutex);
    m_playing = true;
    return true;
}

bool AudioOutputRing::Stop() {
    std::lock_guard lock(m_mutex);
    m_playing = false;
    return true;
}

bool AudioOutputRing::SetCurrentPosition(uint32_t position) {
    if (position >= m_size) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_cursor = position & ~1u; // a sample boundary
    m_between = false;
    return true;
}

bool AudioOutputRing::GetCurrentPosition(uint32_t* playCursor) {
    if (playCursor == nullptr) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    *playCursor = m_cursor;
    return true;
}

bool AudioOutputRing::IsPlaying() const {
    std::lock_guard lock(m_mutex);
    return m_playing;
}

void AudioOutputRing::MixInto(int32_t* acc, size_t frames, int rate) {
    std::lock_guard lock(m_mutex);
    if (!m_playing) {
        return;
    }
    const auto at = [this](uint32_t offset) {
        int16_t sample = 0;
        std::memcpy(&sample, m_data.data() + offset, sizeof sample);
        return static_cast<int32_t>(sample);
    };
    const bool doubled = rate == 16000;
    for (size_t i = 0; i < frames; ++i) {
        const uint32_t next = m_cursor + 2 >= m_size ? 0 : m_cursor + 2;
        acc[i] += m_between ? (at(m_cursor) + at(next)) / 2 : at(m_cursor);
        if (doubled && !m_between) {
            m_between = true;
            continue;
        }
        m_between = false;
        m_cursor = next;
    }
}
