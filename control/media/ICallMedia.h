// SPDX-License-Identifier: GPL-3.0-or-later
// ICallMedia: what a call's state machine asks of the media: bring them up and down, play
// what arrives, mute, and the capture side's voice activity detection.
#pragma once

#include "VoiceKind.h"

#include <cstdint>
#include <optional>

struct ControlSettings;
class IVoiceFrameSink;
class IVoiceReceiver;

// Threads: the control's thread; the capture thread behind it sends to the sink.
class ICallMedia {
public:
    virtual ~ICallMedia() = default;
    // The environment's device settings (microphone, speaker, echo switch, timing log),
    // for the next Start: they decide over the station's choice.
    virtual void ApplySettings(const ControlSettings& settings) = 0;
    // The receive decoder, the playback device and stream, then the capture thread
    // sending its frames to `sink`: 0, or the object error to record (nothing is left
    // running then).
    virtual int32_t Start(IVoiceFrameSink* sink) = 0;
    virtual void Stop() = 0; // capture first, so nothing is sent afterwards; safe twice
    // A call connected with `kind` of voice: the devices at its rate, capture encoding it.
    // At its end the devices keep their rate (the next call of the other kind changes it);
    // what the call received is dropped.
    virtual void BeginCall(VoiceKind kind) = 0;
    virtual void EndCall() = 0;
    // Where received voice payloads go: stated GSM frames (type 10, also during a wideband
    // call), and a wideband call's type-30 payloads.
    virtual IVoiceReceiver& Voice() = 0;
    virtual IVoiceReceiver& WidebandVoice() = 0;
    // A wideband encoder's expected loss, from the far end's reports (percent).
    virtual void SetExpectedLoss(int percent) = 0;
    // The wideband receiver's jitter buffer: the delay it holds voice for (its target; what
    // it holds at an instant swings by a frame as packets come), and since the call began
    // the frames concealed (lost, no FEC), rebuilt from FEC and come too late. Nothing on
    // a GSM call, whose playback keeps no such counts.
    struct ReceivedVoice {
        int delayMs = 0;
        uint64_t concealed = 0, recovered = 0, late = 0;
    };
    virtual std::optional<ReceivedVoice> ReceivedVoiceFigures() const = 0;
    virtual bool MuteMic(bool mute) = 0; // false while not started
    virtual void MuteSpk(bool mute) = 0; // kept across Stop and Start
    // Once a second: playback streams that got nothing are reset.
    virtual void Tick() = 0;
    // Voice activity detection on the capture side (see CCaptureHolder).
    virtual void EnableDetection(int sensitivity, int silenceMs) = 0;
    virtual void DisableDetection() = 0;
    virtual bool IsDetecting() const = 0;
};
