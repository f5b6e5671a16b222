// SPDX-License-Identifier: GPL-3.0-or-later
// Output to an ALSA playback device: S16_LE, mono, 8000 or 16000 Hz, in 20 ms periods.
#pragma once

#include "AudioOutputStreamer.h"

#include <alsa/asoundlib.h>

#include <string>

// The device thread writes one period at a time with a blocking snd_pcm_writei, so the
// device paces the play cursors; the ALSA buffer holds only 40 ms, which bounds the delay
// it adds. While no buffer plays, silence keeps the device running.
// Threads: the PCM handle is opened and closed on the owner's thread and used only by
// the device thread in between.
class AlsaAudioOutput final : public AudioOutputStreamer {
public:
    explicit AlsaAudioOutput(std::string device);
    ~AlsaAudioOutput() override;

    const std::string& Device() const { return m_device; }
    // Underruns recovered since Open (device thread writes, anyone reads).
    unsigned Underruns() const { return m_underruns.load(); }
    // What the device granted at Open (set before the device thread starts).
    unsigned long DevicePeriodFrames() const { return m_periodFrames; }
    unsigned long DeviceBufferFrames() const { return m_bufferFrames; }

protected:
    bool OpenSink(std::string* error) override;
    void CloseSink() override;
    long NextPeriod(std::string* error) override;
    bool WritePeriod(const int16_t* samples, size_t frames, std::string* error) override;

private:
    bool Configure(std::string* error);
    bool Recover(int err, std::string* error);

    const std::string m_device;
    snd_pcm_t* m_pcm = nullptr;
    snd_pcm_uframes_t m_periodFrames = 0;
    snd_pcm_uframes_t m_bufferFrames = 0;
    std::atomic<unsigned> m_underruns{0};
};
