// SPDX-License-Identifier: GPL-3.0-or-later
// Output to a PulseAudio sink, named or the server's default.
#pragma once

#include "AudioDeviceContext.h"

#include "AudioOutputStreamer.h"

#include <memory>
#include <string>

class PulseStream;

// The device thread writes one 20 ms period at a time; the write waits while the
// server holds 60 ms, which paces the play cursors as ALSA's device does. A sink that
// takes nothing for two seconds counts as lost. A sink missing
// at Open or vanishing mid-call is replaced by the server's default, and a server that
// dies leaves a clock-paced output that drops the audio: the call stays up and the owner
// learns of it through the notices it is given.
// Threads: the stream is opened and closed on the owner's thread and used only by the
// device thread in between, which also replaces it after a loss.
class PulseAudioOutput final : public AudioOutputStreamer {
public:
    // `sink` "" for the server's default; `notify` hears what happens to the device.
    explicit PulseAudioOutput(std::string sink, AudioNotify notify = {});
    ~PulseAudioOutput() override;

protected:
    bool OpenSink(std::string* error) override;
    void CloseSink() override;
    long NextPeriod(std::string* error) override;
    bool WritePeriod(const int16_t* samples, size_t frames, std::string* error) override;

private:
    int PeriodBytes() const { return static_cast<int>(PeriodFrames() * sizeof(int16_t)); }
    void Tell(int notice) const {
        if (m_notify)
            m_notify(notice);
    }
    const AudioNotify m_notify;
    void Recover();

    const std::string m_sink;
    std::unique_ptr<PulseStream> m_stream;
    bool m_silent = false; // device thread
};
