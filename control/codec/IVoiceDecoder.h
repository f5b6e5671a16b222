// SPDX-License-Identifier: GPL-3.0-or-later
// What the jitter buffer needs of a wideband decoder: a frame, a frame rebuilt, a frame guessed.
#pragma once

#include <cstdint>

// Every call writes exactly WidebandFrame::kSamples samples and returns that count, or
// returns -1. The thread that plays (the audio device's) owns the decoder and calls it alone.
class IVoiceDecoder {
public:
    virtual ~IVoiceDecoder() = default;
    // The frame carried by this packet.
    virtual int Decode(const uint8_t* data, int length, int16_t* pcm) = 0;
    // The frame before this packet, from the redundancy the packet carries for it.
    virtual int DecodeFec(const uint8_t* nextData, int nextLength, int16_t* pcm) = 0;
    // A frame for which nothing arrived, continued from what was played before.
    virtual int Conceal(int16_t* pcm) = 0;
};
