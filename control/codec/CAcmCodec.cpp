// SPDX-License-Identifier: GPL-3.0-or-later
// GSM 06.10 conversion stream over libgsm in WAV49 mode (format tag 0x0031 packing).
#include "CAcmCodec.h"

#include <gsm.h>

#include <cstring>

namespace {

// One WAV49 block: 320 samples as two 160-sample GSM frames in 65 bytes. libgsm
// writes the pair as 32 then 33 bytes and reads it as 33 then 32 bytes: the odd
// nibble in the middle travels with the first half when decoding.
constexpr int GSM_SAMPLES = 160;
constexpr int BLOCK_SAMPLES = 2 * GSM_SAMPLES;
constexpr int BLOCK_BYTES = 65;
constexpr int ENCODED_FIRST_HALF = 32;
constexpr int DECODED_FIRST_HALF = 33;
constexpr int BLOCKS_PER_FRAME = CAcmCodec::GSM_FRAME_SIZE / BLOCK_BYTES;

static_assert(BLOCKS_PER_FRAME * BLOCK_BYTES == CAcmCodec::GSM_FRAME_SIZE);
static_assert(BLOCKS_PER_FRAME * BLOCK_SAMPLES * 2 == CAcmCodec::PCM_FRAME_SIZE);

} // namespace

CAcmCodec::~CAcmCodec() {
    Close();
}

bool CAcmCodec::Open(int direction) {
    if (direction != DIRECTION_ENCODE && direction != DIRECTION_DECODE)
        return false;
    // A second Open without Close would lose the first stream's state; start afresh.
    Close();
    m_direction = direction;
    m_stream = gsm_create();
    if (m_stream == nullptr)
        return false;
    int wav49 = 1;
    if (gsm_option(m_stream, GSM_OPT_WAV49, &wav49) < 0) {
        // This libgsm was built without the WAV49 packing the wire format needs.
        Close();
        return false;
    }
    m_gsmFrameSize = GSM_FRAME_SIZE;
    m_pcmFrameSize = PCM_FRAME_SIZE;
    m_samples.fill(0);
    return true;
}

bool CAcmCodec::Convert(uint8_t* output, const uint8_t* input) {
    if (m_stream == nullptr || output == nullptr || input == nullptr)
        return false;

    if (m_direction == DIRECTION_ENCODE) {
        // PCM on the wire side is little-endian whatever the host order.
        for (int i = 0; i < SAMPLES_PER_FRAME; ++i)
            m_samples[i] = static_cast<int16_t>(input[2 * i] | (input[2 * i + 1] << 8));
        for (int block = 0; block < BLOCKS_PER_FRAME; ++block) {
            gsm_signal* pcm = m_samples.data() + block * BLOCK_SAMPLES;
            gsm_byte* out = output + block * BLOCK_BYTES;
            gsm_encode(m_stream, pcm, out);
            gsm_encode(m_stream, pcm + GSM_SAMPLES, out + ENCODED_FIRST_HALF);
        }
        return true;
    }

    // Decode into the working samples first so that a failure leaves `output` as it was.
    // libgsm's decode takes a non-const pointer but only reads through it.
    auto* in = const_cast<gsm_byte*>(input);
    for (int block = 0; block < BLOCKS_PER_FRAME; ++block) {
        gsm_signal* pcm = m_samples.data() + block * BLOCK_SAMPLES;
        gsm_byte* src = in + block * BLOCK_BYTES;
        if (gsm_decode(m_stream, src, pcm) != 0 ||
            gsm_decode(m_stream, src + DECODED_FIRST_HALF, pcm + GSM_SAMPLES) != 0)
            return false;
    }
    for (int i = 0; i < SAMPLES_PER_FRAME; ++i) {
        const auto sample = static_cast<uint16_t>(m_samples[i]);
        output[2 * i] = static_cast<uint8_t>(sample & 0xFF);
        output[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
    }
    return true;
}

void CAcmCodec::Close() {
    if (m_stream != nullptr) {
        gsm_destroy(m_stream);
        m_stream = nullptr;
    }
    m_gsmFrameSize = 0;
    m_pcmFrameSize = 0;
}

bool CAcmCodec::IsOpen() const {
    return m_stream != nullptr;
}

int CAcmCodec::SourceFrameSize() const {
    return m_direction == DIRECTION_DECODE ? m_gsmFrameSize : m_pcmFrameSize;
}

int CAcmCodec::DestinationFrameSize() const {
    return m_direction == DIRECTION_DECODE ? m_pcmFrameSize : m_gsmFrameSize;
}
