// SPDX-License-Identifier: GPL-3.0-or-later
// A capture device that fills buffers it is handed, in the manner of wave-in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// An input delivers mono, signed 16-bit little-endian samples at the rate it was set to
// before Open (8000 Hz unless told otherwise). Buffers are added, filled one after another in real time, and each filled buffer is
// handed back through the callback, which runs on the input's own device thread and
// must only pass the buffer on. A buffer belongs to the input from AddBuffer until the
// callback returns it.
class AudioInput {
public:
    // `bytesRecorded` may be less than the buffer's length (0 for a buffer returned
    // unfilled by Reset).
    using FilledCallback = std::function<void(uint8_t* buffer, int bytesRecorded)>;

    static constexpr int kNarrowbandRate = 8000;
    static constexpr int kWidebandRate = 16000;
    static constexpr int BYTES_PER_SAMPLE = 2;

    virtual ~AudioInput() = default;

    // The rate of the next Open: 8000 or 16000; false (nothing changed) for another rate
    // or while open.
    virtual bool SetSampleRate(int rate) = 0;
    virtual int SampleRate() const = 0;

    virtual bool Open(FilledCallback onFilled) = 0;
    // Queues a buffer for recording; `length` is a whole number of samples.
    virtual bool AddBuffer(uint8_t* buffer, int length) = 0;
    virtual bool Start() = 0;
    // Stops recording and hands every queued buffer back through the callback.
    virtual void Reset() = 0;
    // Stops recording; queued buffers stay queued.
    virtual void Stop() = 0;
    // Releases the device; buffers still queued are forgotten. Safe twice.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // A microphone in a room (as opposed to a file or silence): its audio may hold the
    // loudspeaker's echo.
    virtual bool IsRealDevice() const { return false; }
    // Why the last Open failed, for the operator (empty when nothing more is known).
    virtual std::string LastError() const { return {}; }
};
