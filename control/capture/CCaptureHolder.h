// SPDX-License-Identifier: GPL-3.0-or-later
// Starts and stops the capture thread and forwards mute, sensitivity and detector ticks to it.
#pragma once

#include <functional>
#include <memory>
#include <string>

class AudioInput;
class CMicDeviceThread;
class IVoiceFrameSink;
class QThread;

// Lives on the control's thread and is used only there. The worker it owns runs on
// the capture thread; mute and sensitivity reach it through atomics, ticks and the
// close/quit handshake through its event queue.
class CCaptureHolder {
public:
    CCaptureHolder();
    ~CCaptureHolder();
    CCaptureHolder(const CCaptureHolder&) = delete;
    CCaptureHolder& operator=(const CCaptureHolder&) = delete;

    bool Start(IVoiceFrameSink* engine); // thread + OpenDevice; false -> ERR_MIC_DEVICE
    void Stop();                         // returns once device closed and thread ended; safe twice
    bool SetMute(bool mute);             // false when no thread
    void SetSensitivity(int value);      // already clamped 0..255
    void PostDetectorTick(int kind);     // a CVoiceActivityDetector::TICK_* kind
    bool IsRunning() const;

    // Where later Starts record from; empty (the default) means the capture setting.
    using InputFactory = std::function<std::unique_ptr<AudioInput>()>;
    void SetInputFactory(InputFactory factory);
    // For later Starts: the microphone (the control's TAVRINO_CAPTURE; empty: the
    // station's choice) and the echo canceller's switch (its TAVRINO_ECHO).
    void SetCaptureSetting(const std::string& capture) { m_capture = capture; }
    void SetEchoSetting(const std::string& echo) { m_echo = echo; }

private:
    InputFactory m_inputFactory;
    std::string m_capture;
    std::string m_echo;
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<CMicDeviceThread> m_worker;
};
