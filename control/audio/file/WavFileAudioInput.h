// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input that plays a WAV file as the microphone, in real time, looping at its end.
#pragma once

#include "AudioInputBase.h"
#include "AudioInputPacer.h"

#include <sndfile.h>

#include <string>
#include <vector>

// The file must be 8000 Hz; any sample format libsndfile reads is taken to 16 bits, and
// several channels are mixed down to one. Threads: see AudioInputBase; the file handle,
// the read buffer and the pacer belong to the device thread while it runs.
class WavFileAudioInput final : public AudioInputBase {
public:
    // `timingLog`: where its start is logged (see LogAudioDeviceStart); empty: nowhere.
    explicit WavFileAudioInput(std::string path, std::string timingLog = {});
    ~WavFileAudioInput() override;

protected:
    bool OpenDevice() override;
    void CloseDevice() override;
    bool StartDevice() override;
    int Capture(uint8_t* buffer, int length) override;

private:
    // Reads `frames` mono samples, going back to the start at the end of the file.
    bool ReadLooping(int16_t* out, int frames);

    std::string m_path;
    std::string m_timingLog;
    SNDFILE* m_file = nullptr;
    int m_channels = 0;
    std::vector<float> m_interleaved; // sized at open, so reading allocates nothing
    std::vector<int16_t> m_mono;
    AudioInputPacer m_pacer;
};
