// SPDX-License-Identifier: GPL-3.0-or-later
// The capture worker: records a call's frames (120 ms of 8 kHz for GSM, 20 ms of 16 kHz for
// Opus), cleans and encodes them, runs the detector with its timers, and sends the frames
// it does not call silent.
#pragma once

#include "AudioInput.h"
#include "CAcmCodec.h"
#include "CEchoCanceller.h"
#include "COpusEncoder.h"
#include "CVoiceActivityDetector.h"
#include "VoiceKind.h"

#include <QBasicTimer>
#include <QEvent>
#include <QObject>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

class CAudioSession;
class IVoiceFrameSink;
class QSemaphore;

// Threads: the object lives on the capture thread (a plain QThread running its own
// event loop) and everything it does there arrives as an event: filled buffers, the
// close request, the detector's own timers and its settings, so these never overlap.
// OpenDevice alone runs on the starting thread, before any buffer circulates; the queue's
// posting orders its writes before the capture thread reads them. The input's device
// thread only posts filled buffers. Mute and the detector's sensitivity are atomics
// written by the control's thread, and so is the holder's detection switch it reads; the
// device-open flag is atomic because OpenDevice sets it on the starting thread. The echo
// canceller is made by OpenDevice and then used only on the capture thread; buffers carry
// the echo reference's position, read on the input's device thread when they were filled.
class CMicDeviceThread : public QObject {
public:
    enum : int {
        WM_MICTHREAD_CLOSE = 2025,
        WM_MICTHREAD_VAD = 2027,
        // Wave-in's buffer-done message (0x3C0) lies below Qt's user event range.
        MM_WIM_DATA = QEvent::User + 0x3C0,
    };
    static constexpr int BUFFER_COUNT = 5;
    static constexpr int BUFFER_BYTES = CAcmCodec::PCM_FRAME_SIZE; // the longest frame
    // The detector recalibrates once a second while the microphone is open.
    static constexpr int RECALIBRATE_MS = 1000;

    using InputFactory = std::function<std::unique_ptr<AudioInput>()>;

    // `inputFactory` empty: the microphone `session` names. `detecting` is the control's
    // switch: while on, frames the detector calls silent are not sent. `expectedLoss`: a
    // wideband encoder's expected loss in percent, as the far end's reports set it.
    CMicDeviceThread(IVoiceFrameSink* sink, CAudioSession& session,
                     const std::atomic<bool>& detecting, const std::atomic<int>& expectedLoss,
                     VoiceKind kind = VoiceKind::Narrowband, InputFactory inputFactory = {},
                     int recalibrateMs = RECALIBRATE_MS);
    ~CMicDeviceThread() override;
    CMicDeviceThread(const CMicDeviceThread&) = delete;
    CMicDeviceThread& operator=(const CMicDeviceThread&) = delete;

    // Runs on the starting thread: encoder, input at the kind's rate, five buffers queued,
    // recording started.
    bool OpenDevice();
    // Runs on the capture thread. Returns once the device is closed: the input's Stop
    // has joined its device thread, so nothing writes into the buffers any more and no
    // settle time is needed.
    void CloseDevice();

    // Any thread; each posts an event to the capture thread.
    void PostClose(QSemaphore* done);
    // The detector's silence period starts afresh with `silenceMs` (it counts from then on).
    void PostSilencePeriod(int silenceMs);
    // One tick of the detector's (a CVoiceActivityDetector::TICK_* kind), as its timers
    // give them: tests step the detector by hand with a slow recalibration.
    void PostDetectorTick(int kind);

    void SetMute(bool mute) { m_mute.store(mute ? 1 : 0); }
    bool IsMuted() const { return m_mute.load() != 0; }
    // Why OpenDevice failed, when the input said (starting thread, after OpenDevice).
    const std::string& LastError() const { return m_lastError; }
    void SetSensitivity(int value) { m_detector.SetSensitivity(value); }
    int Sensitivity() const { return m_detector.Sensitivity(); }

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnBufferFilled(uint8_t* buffer, int bytesRecorded, uint64_t referenceEnd);
    void ReleaseDevice();

    // The frame encoded and, unless silent, sent; the wideband sequence counts it either way.
    void Encode(uint8_t* buffer);

    IVoiceFrameSink* m_sink;
    CAudioSession& m_session;
    const std::atomic<bool>& m_detecting;
    const std::atomic<int>& m_expectedLoss;
    const VoiceKind m_kind;
    const int m_frameBytes; // what one buffer holds: one frame of the kind
    InputFactory m_inputFactory;
    const int m_recalibrateMs;
    std::unique_ptr<AudioInput> m_input;
    CAcmCodec m_encoder;     // narrowband
    COpusEncoder m_opus;     // wideband
    uint16_t m_sequence = 0; // wideband: frames captured so far, wrapping
    CVoiceActivityDetector m_detector;
    QBasicTimer m_recalibrate; // capture thread
    QBasicTimer m_silence;     // capture thread
    // Between the device and the encoder, so the detector sees the cleaned audio too;
    // null when switched off or when it could not start.
    std::unique_ptr<CEchoCanceller> m_canceller;
    std::array<int16_t, BUFFER_BYTES / 2> m_samples{};
    std::array<std::array<uint8_t, BUFFER_BYTES>, BUFFER_COUNT> m_buffers{};
    std::array<uint8_t, WidebandFrame::kMaxOpusBytes> m_frame{};
    std::string m_lastError;
    std::atomic<int32_t> m_deviceOpen{0};
    std::atomic<int32_t> m_mute{0};
};
