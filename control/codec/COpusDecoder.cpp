// SPDX-License-Identifier: GPL-3.0-or-later
// One Opus decoder for wideband voice: a packet, its successor's redundancy, or nothing, to 20 ms.
#include "COpusDecoder.h"

#include "WidebandFrame.h"

#include <opus.h>

void COpusDecoder::Destroy::operator()(OpusDecoder* decoder) const {
    opus_decoder_destroy(decoder);
}

COpusDecoder::COpusDecoder() = default;

COpusDecoder::~COpusDecoder() {
    Close();
}

bool COpusDecoder::Open() {
    Close();
    int error = OPUS_OK;
    m_decoder.reset(opus_decoder_create(WidebandFrame::kSampleRate, 1, &error));
    if (error != OPUS_OK)
        Close();
    return m_decoder != nullptr;
}

int COpusDecoder::Decode(const uint8_t* data, int length, int16_t* pcm320) {
    return data == nullptr ? -1 : Run(data, length, pcm320, 0);
}

int COpusDecoder::DecodeFec(const uint8_t* nextData, int nextLength, int16_t* pcm320) {
    return nextData == nullptr ? -1 : Run(nextData, nextLength, pcm320, 1);
}

int COpusDecoder::Conceal(int16_t* pcm320) {
    return Run(nullptr, 0, pcm320, 0);
}

int COpusDecoder::Run(const uint8_t* data, int length, int16_t* pcm320, int fec) {
    if (!m_decoder || pcm320 == nullptr)
        return -1;
    // A packet of another duration would write more or fewer samples than the caller's frame:
    // refuse it before libopus touches the output.
    if (data != nullptr && (length < 1 || length > WidebandFrame::kMaxOpusBytes ||
                            opus_packet_get_nb_samples(data, length, WidebandFrame::kSampleRate) !=
                                WidebandFrame::kSamples))
        return -1;
    const int samples =
        opus_decode(m_decoder.get(), data, length, pcm320, WidebandFrame::kSamples, fec);
    return samples == WidebandFrame::kSamples ? samples : -1;
}

void COpusDecoder::Close() {
    m_decoder.reset();
}
