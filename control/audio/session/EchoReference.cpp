// SPDX-License-Identifier: GPL-3.0-or-later
// What a control's output devices last handed to their sinks: the echo canceller's reference.
#include "EchoReference.h"

void EchoReference::Append(const int16_t* samples, size_t count) {
    std::lock_guard lock(m_mutex);
    uint64_t position = m_position.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i)
        m_ring[(position + i) % CAPACITY] = samples[i];
    m_position.store(position + count, std::memory_order_release);
}

void EchoReference::Read(uint64_t start, int16_t* out, size_t count) const {
    std::lock_guard lock(m_mutex);
    const uint64_t end = m_position.load(std::memory_order_relaxed);
    const uint64_t oldest = end > CAPACITY ? end - CAPACITY : 0;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t p = start + i;
        out[i] = (p >= oldest && p < end) ? m_ring[p % CAPACITY] : int16_t{0};
    }
}
