// SPDX-License-Identifier: GPL-3.0-or-later
// CCallMedia: a control's capture and playback for its calls, on the devices of its audio session.
#pragma once

#include "CCaptureHolder.h"
#include "CGsmVoiceReceiver.h"
#include "COpusVoiceReceiver.h"
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
    void BeginCall(VoiceKind kind) override;
    void EndCall() override;
    IVoiceReceiver& Voice() override { return m_gsm; }
    IVoiceReceiver& WidebandVoice() override { return m_opus; }
    void SetExpectedLoss(int percent) override { m_capture.SetExpectedLoss(percent); }
    std::optional<ReceivedVoice> ReceivedVoiceFigures() const override;
    VoiceKind Kind() const { return m_kind; }
    const COpusVoiceReceiver& Wideband() const { return m_opus; }
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
    // The devices brought to `kind`'s rate: capture stopped, playback reopened, capture
    // started again; 0 or the object error.
    int32_t SwitchTo(VoiceKind kind);

    CAudioSession& m_session;
    CPlaybackDevice m_playback;
    CGsmVoiceReceiver m_gsm;
    COpusVoiceReceiver m_opus;
    IVoiceFrameSink* m_sink = nullptr; // while started
    VoiceKind m_kind = VoiceKind::Narrowband;
    // Last, so destroyed first: its thread sends through what the owner keeps alive.
    CCaptureHolder m_capture;
};
