// SPDX-License-Identifier: GPL-3.0-or-later
// Starts and stops the capture thread and hands it mute, sensitivity and the detector's switch.
#pragma once

#include "VoiceKind.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class AudioInput;
class CAudioSession;
class CMicDeviceThread;
class IVoiceFrameSink;
class QThread;

// Lives on the control's thread and is used only there. The worker it owns runs on
// the capture thread; mute, sensitivity and the detection switch reach it through
// atomics, the silence period and the close/quit handshake through its event queue.
class CCaptureHolder {
public:
    explicit CCaptureHolder(CAudioSession& session);
    ~CCaptureHolder();
    CCaptureHolder(const CCaptureHolder&) = delete;
    CCaptureHolder& operator=(const CCaptureHolder&) = delete;

    // Thread + OpenDevice, recording frames of `kind`; false -> ERR_MIC_DEVICE (the input's
    // reason in LastError).
    bool Start(IVoiceFrameSink* sink, VoiceKind kind = VoiceKind::Narrowband);
    void Stop();                       // returns once device closed and thread ended; safe twice
    bool SetMute(bool mute);           // false when no thread
    bool IsRunning() const;
    VoiceKind Kind() const { return m_kind; }
    // Why the last Start failed, when the microphone said.
    const std::string& LastError() const { return m_lastError; }
    // A wideband encoder's expected loss (percent), from the far end's reports; any thread.
    void SetExpectedLoss(int percent) { m_expectedLoss = percent; }

    // Voice activity detection: the sensitivity (clamped 0..255) and a silence period of
    // `silenceMs` for the running capture, and frames called silent dropped from now on;
    // the switch outlives Stop and Start, the period runs until the next Stop.
    void EnableDetection(int sensitivity, int silenceMs);
    void DisableDetection() { m_detecting = false; }
    bool IsDetecting() const { return m_detecting.load(); }

    // Where later Starts record from; empty (the default) means the session's microphone.
    using InputFactory = std::function<std::unique_ptr<AudioInput>()>;
    void SetInputFactory(InputFactory factory);
    // For tests that step the detector by hand: later Starts recalibrate this seldom, and
    // a tick of either kind is handed to the running capture.
    void SetRecalibrationPeriod(int ms) { m_recalibrateMs = ms; }
    void PostDetectorTick(int kind);

private:
    CAudioSession& m_session;
    InputFactory m_inputFactory;
    int m_recalibrateMs;
    std::atomic<bool> m_detecting{false}; // read by the capture thread
    std::atomic<int> m_expectedLoss{10};  // read by the capture thread
    VoiceKind m_kind = VoiceKind::Narrowband;
    std::string m_lastError;
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<CMicDeviceThread> m_worker;
};
