// SPDX-License-Identifier: GPL-3.0-or-later
// CCallMedia: a control's capture and playback for its calls, on the devices of its audio session.
#pragma once

#include "CCaptureHolder.h"
#include "CGsmVoiceReceiver.h"
#include "CPlaybackDevice.h"
#include "ICallMedia.h"

class CAudioSession;

// Threads: the control's thread; see CCaptureHolder and CPlaybackDevice for what runs beside it.
class CCallMedia : public ICallMedia {
public:
    explicit CCallMedia(CAudioSession& session);
    ~CCallMedia() override;

    void ApplySettings(const ControlSettings& settings) override;
    int32_t Start(IVoiceFrameSink* sink) override;
    void Stop() override;
    IVoiceReceiver& Voice() override { return m_gsm; }
    bool MuteMic(bool mute) override { return m_capture.SetMute(mute); }
    void MuteSpk(bool mute) override { m_playback.SetMute(mute); }
    void Tick() override { m_playback.CheckIdleStreams(); }
    void EnableDetection(int sensitivity, int silenceMs) override {
        m_capture.EnableDetection(sensitivity, silenceMs);
    }
    void DisableDetection() override { m_capture.DisableDetection(); }
    bool IsDetecting() const override { return m_capture.IsDetecting(); }

    CCaptureHolder& Capture() { return m_capture; }

private:
    CAudioSession& m_session;
    CPlaybackDevice m_playback;
    CGsmVoiceReceiver m_gsm;
    // Last, so destroyed first: its thread sends through what the owner keeps alive.
    CCaptureHolder m_capture;
};
