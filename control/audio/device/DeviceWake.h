// SPDX-License-Identifier: GPL-3.0-or-later
// Wakes a device thread from its wait on a device the moment its owner stops it.
#pragma once

#include <atomic>

// A device thread waits in poll() on its device (ALSA's descriptors, PulseAudio's mainloop)
// with a time-out, so a device that stalls cannot hold it for ever; but a device that is only
// slow to take or give audio (a busy sound server frees playback room in large steps) would
// still hold a Close for that long. Raising the wake makes its descriptor readable, so every
// wait that polls it returns at once until it is lowered for the next start.
//
// Threads: Raise and Raised from any thread; Lower only while no device thread runs.
class DeviceWake {
public:
    DeviceWake();
    ~DeviceWake();
    DeviceWake(const DeviceWake&) = delete;
    DeviceWake& operator=(const DeviceWake&) = delete;

    void Raise();
    void Lower();
    bool Raised() const { return m_raised.load(); }
    // Readable while raised; -1 when the system had no descriptor to give (waits then end
    // by their time-outs, as before).
    int Descriptor() const { return m_fd; }

private:
    int m_fd = -1;
    std::atomic<bool> m_raised{false};
};
