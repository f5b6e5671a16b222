// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input that plays a WAV file as the microphone, in real time, looping at its end.
#pragma once

#include "AudioInputBase.h"
#include "AudioInputPacer.h"

#include <sndfile.h>

struct SpeexResamplerState_;

#include <string>
#include <vector>

// Any rate and sample format libsndfile reads: several channels are mixed down to one and
// the samples taken to 16 bits at the input's rate (speexdsp's resampler, when the file
// has another rate; a file at the input's rate plays exactly as it is). Threads: see
// AudioInputBase; the file handle, the read buffers, the resampler and the pacer belong
// to the device thread while it runs.
class WavFileAudioInput final : public AudioInputBase {
public:
    // `timingLog`: where its start is logged (see LogAudioDeviceStart); empty: nowhere.
    explicit WavFileAudioInput(std::string path, std::string timingLog = {});
    ~WavFileAudioInput() override;

    std::string LastError() const override { return m_error; }

protected:
    bool OpenDevice() override;
    void CloseDevice() override;
    bool StartDevice() override;
    int Capture(uint8_t* buffer, int length) override;

private:
    // Reads `frames` mono samples, going back to the start at the end of the file.
    bool ReadLooping(int16_t* out, int frames);

    // The next `frames` samples at the input's rate.
    bool Produce(int16_t* out, int frames);

    std::string m_path;
    std::string m_timingLog;
    std::string m_error; // set by OpenDevice
    SNDFILE* m_file = nullptr;
    int m_channels = 0;
    std::vector<float> m_interleaved; // sized at open, so reading allocates nothing
    std::vector<int16_t> m_mono;
    SpeexResamplerState_* m_resampler = nullptr; // null when the file has the input's rate
    std::vector<int16_t> m_resampled;            // its output not handed over yet
    AudioInputPacer m_pacer;
};
