// SPDX-License-Identifier: GPL-3.0-or-later
// Voice activity detector: frame level, threshold recalibrated each second, silent flag.
#pragma once

#include "VoiceFrame.h"

#include <atomic>
#include <cstdint>

// Threads: level, threshold and both flags belong to the capture thread, where frame
// updates and ticks arrive one after another through its event queue. Only the
// sensitivity is written from the control's thread, hence atomic.
class CVoiceActivityDetector {
public:
    // The capture thread's two timers, as Tick takes them.
    enum : int { TICK_RECALIBRATE = 6, TICK_SILENCE = 7 };
    static constexpr int FRAME_SAMPLES = VoiceFrame::kSamples;
    static constexpr int DEFAULT_SENSITIVITY = 130;

    // `pcm` holds `samples` little-endian 16-bit samples (960: 120 ms at 8 kHz; a wideband
    // call's 320: 20 ms at 16 kHz). The level is their mean, so both kinds measure alike.
    void UpdateFrame(const uint8_t* pcm, int samples = FRAME_SAMPLES);
    // TICK_RECALIBRATE recalibrates, TICK_SILENCE counts a silence period; other kinds
    // are ignored.
    void Tick(int kind);

    void SetSensitivity(int value) { m_sensitivity.store(value, std::memory_order_relaxed); }
    int Sensitivity() const { return m_sensitivity.load(std::memory_order_relaxed); }

    int32_t Silent() const { return m_silent; }
    int32_t SilencePending() const { return m_pending; }
    int32_t Level() const { return m_level; }
    int32_t Threshold() const { return m_threshold; }

private:
    int32_t m_level = 0;
    int32_t m_threshold = 0;
    int32_t m_silent = 0;
    int32_t m_pending = 0;
    std::atomic<int32_t> m_sensitivity{DEFAULT_SENSITIVITY};
};
