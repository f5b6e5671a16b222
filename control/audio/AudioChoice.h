// SPDX-License-Identifier: GPL-3.0-or-later
// What the user chose for the next call's audio, what went wrong with it, and the input level.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

// One per process, as the devices are. The control's owner writes the choice; the
// device factories read it at Initialize; device threads report notices and levels.
// Threads: the texts are guarded by a mutex, everything else is atomic.
class AudioChoice {
public:
    // Switch values: automatic (the device decides), off, on.
    enum Switch : int { AUTOMATIC = -1, OFF = 0, ON = 1 };

    static AudioChoice& Instance();

    // "" for the default device, else a device setting such as "pulse:NAME".
    void SetCapture(const std::string& setting);
    void SetPlayback(const std::string& setting);
    std::string Capture() const;
    std::string Playback() const;

    void SetEcho(int value) { m_echo.store(Clamp(value)); }
    void SetNoise(int value) { m_noise.store(Clamp(value)); }
    int Echo() const { return m_echo.load(); }
    int Noise() const { return m_noise.load(); }

    // Notices are bits of Tavrino::AudioNotice; they gather until taken.
    void Notify(int notice) { m_notices.fetch_or(notice); }
    int TakeNotices() { return m_notices.exchange(0); }

    // Any thread that holds captured samples: the peak of the newest ones.
    void ReportLevel(const int16_t* samples, int count);
    // 0 (-60 dBFS or quieter, or nothing heard for half a second) .. 100 (full scale).
    int Level() const;

private:
    AudioChoice() = default;
    static int Clamp(int value) { return value < AUTOMATIC ? AUTOMATIC : (value > ON ? ON : value); }

    mutable std::mutex m_mutex;
    std::string m_capture;  // guarded
    std::string m_playback; // guarded
    std::atomic<int> m_echo{AUTOMATIC};
    std::atomic<int> m_noise{AUTOMATIC};
    std::atomic<int> m_notices{0};
    std::atomic<int> m_level{0};
    std::atomic<int64_t> m_levelAtMs{0}; // steady clock
};
