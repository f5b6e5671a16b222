// SPDX-License-Identifier: GPL-3.0-or-later
// COpusVoiceReceiver: a wideband call's received voice, played as the output device pulls it.
#include "COpusVoiceReceiver.h"

#include <algorithm>
#include <chrono>

COpusVoiceReceiver::COpusVoiceReceiver() = default;

COpusVoiceReceiver::~COpusVoiceReceiver() {
    Stop();
}

int64_t COpusVoiceReceiver::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool COpusVoiceReceiver::Start() {
    Stop();
    if (!m_decoder.Open())
        return false;
    m_buffer = std::make_unique<CJitterBuffer>(m_decoder);
    m_used = m_frame.size();
    m_running = true;
    return true;
}

void COpusVoiceReceiver::Stop() {
    // The owner removes this source from the output first: nothing renders any more.
    m_running = false;
    m_buffer.reset();
    m_decoder.Close();
}

void COpusVoiceReceiver::Receive(const uint8_t* payload, int length) {
    if (!m_running || payload == nullptr || length <= 2)
        return;
    const auto seq = static_cast<uint16_t>(payload[0] | (payload[1] << 8));
    m_buffer->Put(seq, payload + 2, length - 2, NowMs());
}

void COpusVoiceReceiver::Render(int16_t* out, size_t frames) {
    if (!m_running) {
        std::fill_n(out, frames, int16_t{0});
        return;
    }
    for (size_t done = 0; done < frames;) {
        if (m_used == m_frame.size()) {
            m_buffer->Pull(m_frame.data(), NowMs());
            m_used = 0;
        }
        const size_t n = std::min(frames - done, m_frame.size() - m_used);
        std::copy_n(m_frame.begin() + static_cast<std::ptrdiff_t>(m_used), n, out + done);
        m_used += n;
        done += n;
    }
}

CJitterBuffer::Stats COpusVoiceReceiver::Stats() const {
    return m_buffer ? m_buffer->Snapshot() : CJitterBuffer::Stats{};
}
