// SPDX-License-Identifier: GPL-3.0-or-later
// Output that plays nothing: the play cursors advance in real time and the audio is dropped.
#pragma once

#include "AudioOutputStreamer.h"

class NullAudioOutput final : public AudioOutputStreamer {
public:
    NullAudioOutput() = default;
    ~NullAudioOutput() override;

protected:
    bool OpenSink(std::string* error) override;
    void CloseSink() override {}
    long NextPeriod(std::string* error) override;
    bool WritePeriod(const int16_t* samples, size_t frames, std::string* error) override;
};
