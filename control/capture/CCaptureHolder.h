// SPDX-License-Identifier: GPL-3.0-or-later
// Starts and stops the capture thread and hands it mute, sensitivity and the detector's switch.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

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

    bool Start(IVoiceFrameSink* sink); // thread + OpenDevice; false -> ERR_MIC_DEVICE
    void Stop();                       // returns once device closed and thread ended; safe twice
    bool SetMute(bool mute);           // false when no thread
    bool IsRunning() const;

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
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<CMicDeviceThread> m_worker;
};
