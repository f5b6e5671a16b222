// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input on an ALSA PCM device: S16_LE, mono, 8000 or 16000 Hz, in 20 ms periods.
#pragma once

#include "AudioInputBase.h"

#include <alsa/asoundlib.h>

#include <string>

// Threads: see AudioInputBase; the PCM handle belongs to the device thread while it
// runs and to the controlling calls otherwise.
class AlsaAudioInput final : public AudioInputBase {
public:
    // Short periods let a buffer leave as soon as its last sample is recorded (PulseAudio's
    // plugin hands audio over a period at a time; 120 ms periods added 110 ms to the
    // call's delay); 17 of them (340 ms) still ride out a capture thread that is 200 ms
    // late with a 120 ms buffer still to fill.
    static constexpr int PERIOD_MS = 20;
    static constexpr int PERIODS = 17;

    explicit AlsaAudioInput(std::string device);
    ~AlsaAudioInput() override;

    bool IsRealDevice() const override { return true; }

protected:
    bool OpenDevice() override;
    void CloseDevice() override;
    bool StartDevice() override;
    void StopDevice() override;
    int Capture(uint8_t* buffer, int length) override;

private:
    bool Configure();
    // Wakes the device thread only once `frames` can be read, so a buffer built from
    // short periods costs one wake-up rather than one per period.
    void SetWakeUp(snd_pcm_uframes_t frames);
    // Brings the stream back after an overrun or suspend; false when the device is gone.
    bool Recover(int error);

    std::string m_device;
    snd_pcm_t* m_pcm = nullptr;
    snd_pcm_uframes_t m_wakeUp = 0; // device thread
    snd_pcm_uframes_t m_period = 0; // granted at Open
    snd_pcm_uframes_t m_wakeUpMax = 0; // granted buffer less a period
};
