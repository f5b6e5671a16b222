// SPDX-License-Identifier: GPL-3.0-or-later
// One Opus encoder for wideband voice: 20 ms of 16 kHz mono PCM to one packet.
#include "COpusEncoder.h"

#include "WidebandFrame.h"

#include <opus.h>

#include <algorithm>

void COpusEncoder::Destroy::operator()(OpusEncoder* encoder) const {
    opus_encoder_destroy(encoder);
}

COpusEncoder::COpusEncoder() = default;

COpusEncoder::~COpusEncoder() {
    Close();
}

bool COpusEncoder::Open() {
    Close();
    int error = OPUS_OK;
    m_encoder.reset(
        opus_encoder_create(WidebandFrame::kSampleRate, 1, OPUS_APPLICATION_VOIP, &error));
    if (!m_encoder || error != OPUS_OK) {
        Close();
        return false;
    }
    m_lossPercent = kInitialLossPercent;
    OpusEncoder* e = m_encoder.get();
    // The bandwidth follows the input (16 kHz: wideband SILK); the redundancy that rebuilds a
    // lost frame from its successor is only written when loss is expected, hence the loss.
    const bool ok = opus_encoder_ctl(e, OPUS_SET_BITRATE(WidebandFrame::kBitrate)) == OPUS_OK &&
                    opus_encoder_ctl(e, OPUS_SET_VBR(1)) == OPUS_OK &&
                    opus_encoder_ctl(e, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE)) == OPUS_OK &&
                    opus_encoder_ctl(e, OPUS_SET_COMPLEXITY(kComplexity)) == OPUS_OK &&
                    opus_encoder_ctl(e, OPUS_SET_INBAND_FEC(1)) == OPUS_OK &&
                    opus_encoder_ctl(e, OPUS_SET_PACKET_LOSS_PERC(m_lossPercent)) == OPUS_OK;
    if (!ok)
        Close();
    return ok;
}

int COpusEncoder::Encode(const int16_t* pcm320, uint8_t* out, int capacity) {
    if (!m_encoder || pcm320 == nullptr || out == nullptr || capacity < 1)
        return -1;
    const int room = std::min(capacity, WidebandFrame::kMaxOpusBytes);
    const opus_int32 length =
        opus_encode(m_encoder.get(), pcm320, WidebandFrame::kSamples, out, room);
    return length > 0 ? static_cast<int>(length) : -1;
}

bool COpusEncoder::SetExpectedLoss(int percent) {
    if (!m_encoder)
        return false;
    const int clamped = std::clamp(percent, kMinLossPercent, kMaxLossPercent);
    if (opus_encoder_ctl(m_encoder.get(), OPUS_SET_PACKET_LOSS_PERC(clamped)) != OPUS_OK)
        return false;
    m_lossPercent = clamped;
    return true;
}

void COpusEncoder::Close() {
    m_encoder.reset();
}
