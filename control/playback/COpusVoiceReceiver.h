// SPDX-License-Identifier: GPL-3.0-or-later
// COpusVoiceReceiver: a wideband call's received voice: its jitter buffer and decoder, played
// as the output device pulls it.
#pragma once

#include "AudioSource.h"
#include "CJitterBuffer.h"
#include "COpusDecoder.h"
#include "IVoiceReceiver.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// Pipeline: sealed type-30 payload (seq, Opus) -> Receive -> jitter buffer; the output's
// device thread -> Render -> 20 ms frames pulled on the device's clock (decoded, rebuilt
// from FEC or concealed there) -> the device's period.
//
// Threads: Receive and Start/Stop on the control's thread; Render on the output's device
// thread, which alone touches the decoder and the rest of a frame it has pulled. The
// jitter buffer guards what the two share.
class COpusVoiceReceiver : public IVoiceReceiver, public AudioSource {
public:
    COpusVoiceReceiver();
    ~COpusVoiceReceiver() override;

    // A fresh decoder and buffer for a new call; false when libopus cannot start.
    bool Start();
    void Stop();

    // A type-30 payload: seq (2 bytes, little-endian), then the Opus packet.
    void Receive(const uint8_t* payload, int length) override;
    void Render(int16_t* out, size_t frames) override;

    CJitterBuffer::Stats Stats() const;

private:
    static int64_t NowMs();

    COpusDecoder m_decoder;
    std::unique_ptr<CJitterBuffer> m_buffer;
    std::atomic<bool> m_running{false};
    // The device thread's: a pulled frame not all played yet.
    std::array<int16_t, WidebandFrame::kSamples> m_frame{};
    size_t m_used = WidebandFrame::kSamples;
};
