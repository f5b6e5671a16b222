// SPDX-License-Identifier: GPL-3.0-or-later
// Sums the playing output buffers of one device into the periods its device thread writes.
#include "AudioOutputMixer.h"

#include <algorithm>

std::unique_ptr<AudioOutputRing> AudioOutputMixer::CreateRing(uint32_t bytes) {
    auto ring = std::make_unique<AudioOutputRing>(
        bytes, [self = shared_from_this()](const AudioOutputRing* gone) { self->Detach(gone); });
    std::lock_guard lock(m_mutex);
    m_rings.push_back(ring.get());
    return ring;
}

void AudioOutputMixer::Detach(const AudioOutputRing* ring) {
    std::lock_guard lock(m_mutex);
    m_rings.erase(std::remove(m_rings.begin(), m_rings.end(), ring), m_rings.end());
}

void AudioOutputMixer::AddSource(AudioSource* source) {
    std::lock_guard lock(m_mutex);
    if (std::find(m_sources.begin(), m_sources.end(), source) == m_sources.end())
        m_sources.push_back(source);
}

void AudioOutputMixer::RemoveSource(AudioSource* source) {
    std::lock_guard lock(m_mutex);
    m_sources.erase(std::remove(m_sources.begin(), m_sources.end(), source), m_sources.end());
}

void AudioOutputMixer::Render(int16_t* out, size_t frames, int rate) {
    std::lock_guard lock(m_mutex);
    m_acc.assign(frames, 0);
    for (AudioOutputRing* ring : m_rings) {
        ring->MixInto(m_acc.data(), frames, rate);
    }
    m_source.resize(frames);
    for (AudioSource* source : m_sources) {
        source->Render(m_source.data(), frames);
        for (size_t i = 0; i < frames; ++i)
            m_acc[i] += m_source[i];
    }
    for (size_t i = 0; i < frames; ++i) {
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(m_acc[i], INT16_MIN, INT16_MAX));
    }
}
