// SPDX-License-Identifier: GPL-3.0-or-later
// Capture input on a PulseAudio source, named or the server's default.
#pragma once

#include "AudioDeviceContext.h"

#include "AudioInputBase.h"
#include "AudioInputPacer.h"

#include <memory>
#include <string>

class PulseStream;

// A source that is missing at Open or vanishes mid-call is replaced by the server's
// default, and a server that dies leaves silence in real time: the call stays up and the
// owner learns of it through the notices it is given.
// Threads: see AudioInputBase; the stream and the silent flag belong to the device thread
// while it runs and to the controlling calls otherwise.
class PulseAudioInput final : public AudioInputBase {
public:
    // 20 ms: the server hands audio over this often.
    int PeriodBytes() const { return SampleRate() / 50 * BYTES_PER_SAMPLE; }
    static constexpr int WAIT_MS = 200;      // how often a stop request is looked for

    // `source` "" for the server's default; `notify` hears what happens to the device.
    explicit PulseAudioInput(std::string source, AudioNotify notify = {});
    ~PulseAudioInput() override;

    bool IsRealDevice() const override { return true; }

protected:
    bool OpenDevice() override;
    void CloseDevice() override;
    bool StartDevice() override;
    int Capture(uint8_t* buffer, int length) override;

private:
    void Tell(int notice) const {
        if (m_notify)
            m_notify(notice);
    }
    const AudioNotify m_notify;
    // Device thread: after a failed read, the default source, else silence.
    void Recover();

    std::string m_source;
    std::unique_ptr<PulseStream> m_stream;
    bool m_silent = false;
    AudioInputPacer m_pacer;
};
