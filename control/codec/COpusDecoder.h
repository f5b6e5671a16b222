// SPDX-License-Identifier: GPL-3.0-or-later
// One Opus decoder for wideband voice: a packet, its successor's redundancy, or nothing, to 20 ms.
#pragma once

#include "IVoiceDecoder.h"

#include <cstdint>
#include <memory>

struct OpusDecoder;

// Threads: Open runs on the thread that starts the call; from then on the thread that plays
// (the audio device's, through the jitter buffer) alone decodes and closes.
class COpusDecoder final : public IVoiceDecoder {
public:
    COpusDecoder();
    ~COpusDecoder() override;
    COpusDecoder(const COpusDecoder&) = delete;
    COpusDecoder& operator=(const COpusDecoder&) = delete;

    bool Open(); // 16 kHz mono; open while open starts afresh
    // Each writes exactly 320 samples and returns 320, or writes nothing and returns -1 (closed,
    // no data, a packet of 1..400 bytes that is not exactly 20 ms, or one libopus rejects).
    int Decode(const uint8_t* data, int length, int16_t* pcm320) override;
    int DecodeFec(const uint8_t* nextData, int nextLength, int16_t* pcm320) override;
    int Conceal(int16_t* pcm320) override;
    void Close(); // safe twice
    bool IsOpen() const { return m_decoder != nullptr; }

private:
    int Run(const uint8_t* data, int length, int16_t* pcm320, int fec);

    struct Destroy {
        void operator()(OpusDecoder* decoder) const;
    };
    std::unique_ptr<OpusDecoder, Destroy> m_decoder;
};
