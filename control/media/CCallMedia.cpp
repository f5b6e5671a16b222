// SPDX-License-Identifier: GPL-3.0-or-later
// CCallMedia: a control's capture and playback for its calls.
#include "CCallMedia.h"

#include "CAudioSession.h"
#include "ControlSettings.h"
#include "TavrinoStandardApi.h"

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
    using namespace Tavrino;
    Stop();
    int32_t error = 0;
    if (!m_gsm.OpenDecoder() || !m_playback.Open() || !m_gsm.CreateStream())
        error = ERR_SOUND_DEVICE;
    else if (!m_capture.Start(sink))
        error = ERR_MIC_DEVICE;
    if (error != 0)
        Stop();
    return error;
}

void CCallMedia::Stop() {
    m_capture.Stop();
    m_gsm.Close();
    m_playback.Close();
}
