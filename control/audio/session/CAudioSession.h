// SPDX-License-Identifier: GPL-3.0-or-later
// CAudioSession: one control's audio state: the device choice, the echo and noise switches,
// the echo reference, the device notices and the input level.
#pragma once

#include "AudioDeviceContext.h"
#include "EchoReference.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// Each control owns one and hands it to its capture and playback, so two controls in one
// process never share a device choice, a switch, a notice or a loudspeaker's echo.
//
// A device setting has two sources: the environment (the control's TAVRINO_CAPTURE,
// TAVRINO_PLAYBACK and TAVRINO_ECHO, applied once per Initialize), which decides, and the
// station's choice through the audio methods. They meet here, and only here.
//
// Threads: the choice is written on the control's thread and read by the devices' factories
// there and on the capture thread; notices come from any device thread and go straight to
// the sink (which must be safe from any thread); the level is written by input device
// threads. Texts are guarded by a mutex, everything else is atomic.
class CAudioSession {
public:
    // Switch values: automatic (the device decides), off, on.
    enum Switch : int { AUTOMATIC = -1, OFF = 0, ON = 1 };
    // Receives Tavrino::AudioNotice bits as they happen, on the thread that noticed.
    using NoticeSink = std::function<void(int notices)>;

    explicit CAudioSession(NoticeSink sink = {});
    CAudioSession(const CAudioSession&) = delete;
    CAudioSession& operator=(const CAudioSession&) = delete;

    // The environment's settings; empty ones leave the choice to the station. `timingLog`
    // (the control's TAVRINO_TIMING_LOG) is where WAV devices log their start.
    void ApplyEnvironment(const std::string& capture, const std::string& playback,
                          const std::string& echo, const std::string& timingLog = {});
    // "" for the default device, else a device setting such as "pulse:NAME".
    void ChooseCapture(const std::string& setting);
    void ChoosePlayback(const std::string& setting);
    void SetEcho(int value) { m_echo.store(Clamp(value)); }
    void SetNoise(int value) { m_noise.store(Clamp(value)); }

    // What the next microphone and speaker open: the environment's setting, else the
    // choice, else the default ("pulse" where a sound server answers, else "alsa:default").
    // A chosen server device with no server answering becomes "alsa:default", noticed.
    std::string CaptureSetting();
    std::string PlaybackSetting();
    // Whether captured audio from a device gets cleaned (the echo canceller), and whether
    // the canceller suppresses noise too. Automatic cleans microphones in a room, not
    // files or silence.
    bool EchoWanted(bool realDevice) const;
    bool NoiseWanted() const { return m_noise.load() != OFF; }

    // What the loudspeakers of this control were handed.
    EchoReference& Reference() { return m_reference; }
    // What the session's devices are made with: its notices, its echo reference, its
    // timing log.
    AudioDeviceContext DeviceContext();

    // Any thread.
    void Notify(int notice);
    // The notices gathered since the last call, then cleared.
    int TakeNotices() { return m_notices.exchange(0); }

    // Any thread that holds captured samples: the peak of the newest ones.
    void ReportLevel(const int16_t* samples, int count);
    // 0 (-60 dBFS or quieter, or nothing heard for half a second) .. 100 (full scale).
    int Level() const;

private:
    static int Clamp(int value) { return value < AUTOMATIC ? AUTOMATIC : (value > ON ? ON : value); }
    std::string Resolve(const std::string& forced, const std::string& chosen);

    const NoticeSink m_sink;
    mutable std::mutex m_mutex;
    std::string m_forcedCapture;  // guarded
    std::string m_forcedPlayback; // guarded
    std::string m_forcedEcho;     // guarded: "on", "off" or ""
    std::string m_timingLog;      // guarded
    std::string m_capture;        // guarded
    std::string m_playback;       // guarded
    std::atomic<int> m_echo{AUTOMATIC};
    std::atomic<int> m_noise{AUTOMATIC};
    std::atomic<int> m_notices{0};
    std::atomic<int> m_level{0};
    std::atomic<int64_t> m_levelAtMs{0}; // steady clock
    EchoReference m_reference;
};
