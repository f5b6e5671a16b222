// SPDX-License-Identifier: GPL-3.0-or-later
// One voice stream on the PulseAudio server, read or written with time-outs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class DeviceWake;
struct pa_context;
struct pa_io_event;
struct pa_stream;
struct pa_mainloop;

// libpulse's simple API blocks without a time-out, so a source that stops delivering
// (a pipe without a writer, a stalled server) would hold its reader, and with it every
// Close, for ever. Here Read and Write run the stream's own libpulse mainloop on the
// calling thread, polling with a deadline. No libpulse thread of its own: handing every
// server message over from one woke two threads per 20 ms period instead of one.
//
// Threads: Open, Read, Write, Flush and the destructor come from one thread at a time
// (the device thread, or the owner while no device thread runs); libpulse's callbacks
// run inside them.
class PulseStream {
public:
    ~PulseStream();
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // The voice format (mono S16LE at `rate`; the server resamples for the device) on
    // `device` ("" for the server's default), moving `periodBytes` at a time, with `bufferBytes`
    // of playback buffered. Null, with libpulse's error code in `error`, when the server
    // or the device cannot be had within `timeoutMs`. Every wait of the stream, its
    // opening included, ends early once `wake` (which outlives the stream) is raised.
    static std::unique_ptr<PulseStream> Open(bool capture, const std::string& device, int rate,
                                             int periodBytes,
                                             int bufferBytes, int* error, const DeviceWake* wake,
                                             int timeoutMs = 2000);

    // Reads `bytes`, waiting at most `timeoutMs` in all. Returns what was read (fewer on a
    // time-out or a raised wake), or -1 once the stream or the server is gone.
    int Read(uint8_t* data, int bytes, int timeoutMs);
    // Writes `bytes` once there is room for them all (in pieces only when they exceed the
    // whole buffer), waiting at most `timeoutMs` in all. Returns what was written (fewer on
    // a time-out or a raised wake), or -1 once the stream or the server is gone.
    int Write(const uint8_t* data, int bytes, int timeoutMs);
    // Bytes that can be read, or written, at once, after taking in what the server sent;
    // -1 once the stream or the server is gone.
    int Available();
    // Drops what the server holds for the stream.
    void Flush();
    // True once after the server moved the stream to another device (its own went away).
    bool TakeMoved() { return m_moved.exchange(false); }

    // Whether an Open `error` says the device named does not exist (as opposed to no server).
    static bool NoSuchDevice(int error);

private:
    PulseStream() = default;
    static void OnMoved(pa_stream* stream, void* self);
    // False once the context or the stream failed.
    bool Alive() const;
    // Handles what the server sent, waiting for it until `deadline` at most; false on
    // the deadline or when the mainloop cannot run.
    bool RunUntil(std::chrono::steady_clock::time_point deadline);
    bool WakeRaised() const;
    // Handles everything pending without waiting (sends what was written).
    void RunPending();

    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    const DeviceWake* m_wake = nullptr;
    pa_io_event* m_wakeEvent = nullptr; // the wake's descriptor among the mainloop's
    bool m_capture = false;
    std::atomic<bool> m_moved{false};
    size_t m_fragmentOffset = 0; // of the fragment at the head of the capture stream, read already
};
