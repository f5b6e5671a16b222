// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input that records silence in real time, for machines without a microphone.
#pragma once

#include "AudioInputBase.h"
#include "AudioInputPacer.h"

// Threads: see AudioInputBase; the pacer belongs to the device thread while it runs.
class SilenceAudioInput final : public AudioInputBase {
public:
    SilenceAudioInput() = default;
    ~SilenceAudioInput() override;

protected:
    bool OpenDevice() override { return true; }
    void CloseDevice() override {}
    bool StartDevice() override;
    int Capture(uint8_t* buffer, int length) override;

private:
    AudioInputPacer m_pacer;
};
