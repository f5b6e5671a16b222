// Capture input on an ALSA PCM device: S16_LE, mono, 8000 Hz, five periods of 960 frames.
#pragma once

#include "AudioInputBase.h"

#include <alsa/asoundlib.h>

#include <string>

// Threads: see AudioInputBase; the PCM handle belongs to the device thread while it
// runs and to the controlling calls otherwise.
class AlsaAudioInput final : public AudioInputBase {
public:
    static constexpr int PERIOD_FRAMES = 960;
    static constexpr int PERIODS = 5;

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
    // Brings the stream back after an overrun or suspend; false when the device is gone.
    bool Recover(int error);

    std::string m_device;
    snd_pcm_t* m_pcm = nullptr;
};
