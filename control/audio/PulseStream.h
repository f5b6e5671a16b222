// One voice stream on the PulseAudio server, read or written with time-outs.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

// libpulse's simple API blocks without a time-out, so a source that stops delivering
// (a pipe without a writer, a stalled server) would hold its reader, and with it every
// Close, for ever. Here the stream runs on its own libpulse thread; Read and Write wait
// on a condition variable with a deadline instead.
//
// Threads: Open, Read, Write, Flush and the destructor come from one thread at a time
// (the device thread, or the owner while no device thread runs). libpulse's callbacks run
// on its mainloop thread and only set the wake flag under m_wakeMutex.
class PulseStream {
public:
    ~PulseStream();
    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // The voice format (8 kHz mono S16LE; the server resamples for the device) on `device`
    // ("" for the server's default), moving `periodBytes` at a time, with `bufferBytes`
    // of playback buffered. Null, with libpulse's error code in `error`, when the server
    // or the device cannot be had within `timeoutMs`.
    static std::unique_ptr<PulseStream> Open(bool capture, const std::string& device, int periodBytes,
                                             int bufferBytes, int* error, int timeoutMs = 2000);

    // Reads `bytes`, waiting at most `timeoutMs` in all. Returns what was read (fewer on a
    // time-out), or -1 once the stream or the server is gone.
    int Read(uint8_t* data, int bytes, int timeoutMs);
    // Writes `bytes` as room comes free, waiting at most `timeoutMs` in all. Returns what
    // was written, or -1 once the stream or the server is gone.
    int Write(const uint8_t* data, int bytes, int timeoutMs);
    // Drops what the server holds for the stream.
    void Flush();
    // True once after the server moved the stream to another device (its own went away).
    bool TakeMoved() { return m_moved.exchange(false); }

    // Whether an Open `error` says the device named does not exist (as opposed to no server).
    static bool NoSuchDevice(int error);

private:
    PulseStream() = default;
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnData(pa_stream* stream, size_t bytes, void* self);
    static void OnMoved(pa_stream* stream, void* self);
    void Wake();
    // With the mainloop locked: false once the context or the stream failed.
    bool Alive() const;
    // Waits for a wake-up until `deadline`; false on the deadline.
    bool WaitForWake(std::chrono::steady_clock::time_point deadline);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    bool m_capture = false;
    std::atomic<size_t> m_want{0}; // bytes a reader waits for: fewer wake no one
    std::atomic<bool> m_moved{false};
    size_t m_fragmentOffset = 0;   // of the fragment at the head of the capture stream, read already

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_woken = false; // guarded
};
