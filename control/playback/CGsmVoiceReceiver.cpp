// SPDX-License-Identifier: GPL-3.0-or-later
// CGsmVoiceReceiver: received GSM frames decoded and played through a playback stream.
#include "CGsmVoiceReceiver.h"

#include "CPlaybackDevice.h"
#include "VoiceFrame.h"

#include <array>

CGsmVoiceReceiver::CGsmVoiceReceiver(CPlaybackDevice& playback) : m_playback(playback) {}

CGsmVoiceReceiver::~CGsmVoiceReceiver() {
    Close();
}

bool CGsmVoiceReceiver::OpenDecoder() {
    return m_decoder.Open(CAcmCodec::DIRECTION_DECODE);
}

bool CGsmVoiceReceiver::CreateStream() {
    m_stream = m_playback.CreateStream();
    return m_stream != nullptr;
}

void CGsmVoiceReceiver::Close() {
    m_decoder.Close();
    m_stream = nullptr; // goes with the device's Close
}

void CGsmVoiceReceiver::Receive(const uint8_t* frame, int length) {
    if (m_stream == nullptr || frame == nullptr || length != VoiceFrame::kGsmBytes)
        return;
    // Zero-filled, so a frame that fails to decode plays as 120 ms of silence.
    std::array<uint8_t, VoiceFrame::kPcmBytes> pcm{};
    m_decoder.Convert(pcm.data(), frame);
    m_playback.QueueFrame(m_stream, pcm.data(), VoiceFrame::kPcmBytes);
    m_playback.PlayQueued(m_stream);
}
