// SPDX-License-Identifier: GPL-3.0-or-later
// CCallMedia: a control's capture and playback for its calls.
#include "CCallMedia.h"

#include "CAudioSession.h"
#include "ControlSettings.h"
#include "TavrinoStandardApi.h"

#include <QtGlobal>

#include <algorithm>

CCallMedia::CCallMedia(CAudioSession& session)
    : m_session(session), m_playback(session), m_gsm(m_playback), m_capture(session) {}

void CCallMedia::ApplySettings(const ControlSettings& settings) {
    m_session.ApplyEnvironment(settings.capture, settings.playback, settings.echo,
                               settings.timingLog);
}

CCallMedia::~CCallMedia() {
    Stop();
}

int32_t CCallMedia::Start(IVoiceFrameSink* sink) {
    Stop();
    m_sink = sink;
    const int32_t error = SwitchTo(VoiceKind::Narrowband);
    if (error != 0)
        Stop();
    return error;
}

int32_t CCallMedia::SwitchTo(VoiceKind kind) {
    using namespace Tavrino;
    m_capture.Stop();
    m_playback.Close(); // takes the wideband receiver out of the mix
    m_opus.Stop();
    m_gsm.Close();
    m_kind = kind;
    m_playback.SetSampleRate(RateOf(kind));
    if (!m_gsm.OpenDecoder() || !m_playback.Open() || !m_gsm.CreateStream() ||
        (kind == VoiceKind::Wideband && !m_opus.Start())) {
        qWarning("TavrinoStandard: the speaker cannot be opened: %s",
                 m_playback.LastError().c_str());
        return ERR_SOUND_DEVICE;
    }
    if (kind == VoiceKind::Wideband)
        m_playback.AddSource(&m_opus);
    if (!m_capture.Start(m_sink, kind)) {
        // Also on stderr: the object error alone cannot say which file or device failed.
        qWarning("TavrinoStandard: the microphone cannot be opened: %s",
                 m_capture.LastError().empty() ? "no such device"
                                               : m_capture.LastError().c_str());
        return ERR_MIC_DEVICE;
    }
    return 0;
}

void CCallMedia::BeginCall(VoiceKind kind) {
    if (m_sink != nullptr && kind != m_kind)
        SwitchTo(kind); // a device that will not reopen leaves the call without voice
}

void CCallMedia::EndCall() {
    // The devices stay at the call's rate until a call of the other kind: reopening a file
    // speaker would start it again and lose what the call left in it. The next call gets a
    // fresh jitter buffer and decoder.
    if (m_sink == nullptr || m_kind != VoiceKind::Wideband)
        return;
    m_playback.RemoveSource(&m_opus);
    if (m_opus.Start())
        m_playback.AddSource(&m_opus);
}

std::optional<ICallMedia::ReceivedVoice> CCallMedia::ReceivedVoiceFigures() const {
    if (m_kind != VoiceKind::Wideband)
        return std::nullopt;
    const CJitterBuffer::Stats s = m_opus.Stats();
    ReceivedVoice v;
    v.delayMs = s.targetDelayMs;
    // Frames the buffer inserted to grow its delay were concealed, but nothing was lost.
    v.concealed = s.concealed - std::min(s.inserted, s.concealed);
    v.recovered = s.fec;
    v.late = s.late;
    return v;
}

void CCallMedia::Stop() {
    m_capture.Stop();
    m_playback.Close();
    m_opus.Stop();
    m_gsm.Close();
    m_sink = nullptr;
    m_kind = VoiceKind::Narrowband;
}
