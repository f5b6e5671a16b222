// SPDX-License-Identifier: GPL-3.0-or-later
// Voice activity detector: frame level, threshold recalibrated each second, silent flag.
#include "CVoiceActivityDetector.h"

void CVoiceActivityDetector::UpdateFrame(const uint8_t* pcm, int samples) {
    if (samples <= 0 || samples > FRAME_SAMPLES)
        return;
    // 960 samples of at most 32767 cannot overflow 32 bits.
    int32_t sum = 0;
    for (int i = 0; i < samples; ++i) {
        const auto sample = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
        if (sample > 0)
            sum += sample;
    }
    // Divided by all samples, not only the positive ones.
    m_level = sum / samples;
    if (m_level >= m_threshold) {
        m_pending = 0;
        m_silent = 0;
    }
}

void CVoiceActivityDetector::Tick(int kind) {
    if (kind == TICK_RECALIBRATE) {
        m_threshold = m_level + Sensitivity() - 30;
    } else if (kind == TICK_SILENCE) {
        if (m_pending != 0)
            m_silent = 1;
        else
            m_pending = 1;
    }
}
