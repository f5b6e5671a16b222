// SPDX-License-Identifier: GPL-3.0-or-later
// One GSM 06.10 stream (WAV49 packing): 1920-byte PCM voice frames to 195 bytes or back.
#pragma once

#include "VoiceFrame.h"

#include <array>
#include <cstdint>

struct gsm_state;

// One object is used by one thread at a time: opened on one thread, it may be handed
// to another (through a queue that orders memory), which then converts and closes it.
class CAcmCodec {
public:
    enum { DIRECTION_ENCODE = 0, DIRECTION_DECODE = 1 };
    static constexpr int PCM_FRAME_SIZE = VoiceFrame::kPcmBytes;
    static constexpr int GSM_FRAME_SIZE = VoiceFrame::kGsmBytes;

    CAcmCodec() = default;
    ~CAcmCodec();
    CAcmCodec(const CAcmCodec&) = delete;
    CAcmCodec& operator=(const CAcmCodec&) = delete;

    bool Open(int direction);
    // Converts one voice frame: decoder 195 -> 1920 bytes, encoder 1920 -> 195 bytes.
    // On failure returns false and leaves `output` untouched.
    bool Convert(uint8_t* output, const uint8_t* input);
    void Close(); // safe twice
    bool IsOpen() const;

    int Direction() const { return m_direction; }
    // Sizes of one frame on each side; 0 while closed.
    int SourceFrameSize() const;
    int DestinationFrameSize() const;

private:
    static constexpr int SAMPLES_PER_FRAME = VoiceFrame::kSamples;

    gsm_state* m_stream = nullptr;
    int m_direction = DIRECTION_ENCODE;
    int m_gsmFrameSize = 0;
    int m_pcmFrameSize = 0;
    // Working samples, kept with the object so a conversion allocates nothing.
    std::array<int16_t, SAMPLES_PER_FRAME> m_samples{};
};
