// SPDX-License-Identifier: GPL-3.0-or-later
// Wraps a capture input so that every filled buffer also moves the input level meter.
#pragma once

#include "AudioInput.h"

#include <memory>

class CAudioSession;

// Threads: as the wrapped input; the meter (the session's) is moved on the device thread,
// in passing.
class MeteredAudioInput final : public AudioInput {
public:
    MeteredAudioInput(std::unique_ptr<AudioInput> inner, CAudioSession& session)
        : m_inner(std::move(inner)), m_session(session) {}

    bool SetSampleRate(int rate) override { return m_inner->SetSampleRate(rate); }
    int SampleRate() const override { return m_inner->SampleRate(); }
    bool Open(FilledCallback onFilled) override;
    bool AddBuffer(uint8_t* buffer, int length) override { return m_inner->AddBuffer(buffer, length); }
    bool Start() override { return m_inner->Start(); }
    void Reset() override { m_inner->Reset(); }
    void Stop() override { m_inner->Stop(); }
    void Close() override { m_inner->Close(); }
    bool IsOpen() const override { return m_inner->IsOpen(); }
    bool IsRealDevice() const override { return m_inner->IsRealDevice(); }
    std::string LastError() const override { return m_inner->LastError(); }

private:
    std::unique_ptr<AudioInput> m_inner;
    CAudioSession& m_session;
};
