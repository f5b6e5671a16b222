// SPDX-License-Identifier: GPL-3.0-or-later
// Buffer queue and device thread shared by the capture inputs; subclasses only read samples.
#pragma once

#include "AudioInput.h"
#include "DeviceWake.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Threads: Open, AddBuffer, Start, Reset, Stop and Close may come from any thread but
// not at the same time as each other, except AddBuffer (guarded by m_mutex). The device
// thread, started by Start, calls Capture and the callback; it and the controlling
// calls share only the queue and the stop flag, both under m_mutex. A subclass's
// device handle is touched by the device thread while it runs, and otherwise only by
// the controlling calls, which join the device thread first.
class AudioInputBase : public AudioInput {
public:
    AudioInputBase() = default;
    ~AudioInputBase() override; // subclasses must call Close() in their own destructor
    AudioInputBase(const AudioInputBase&) = delete;
    AudioInputBase& operator=(const AudioInputBase&) = delete;

    bool SetSampleRate(int rate) final;
    int SampleRate() const final { return m_rate; }
    bool Open(FilledCallback onFilled) final;
    bool AddBuffer(uint8_t* buffer, int length) final;
    bool Start() final;
    void Reset() final;
    void Stop() final;
    void Close() final;
    bool IsOpen() const final;

    // True once the device thread has ended because the device failed.
    bool DeviceFailed() const;

protected:
    using Clock = std::chrono::steady_clock;

    virtual bool OpenDevice() = 0;
    virtual void CloseDevice() = 0;
    // Called before the device thread starts and after it has been joined.
    virtual bool StartDevice() { return true; }
    virtual void StopDevice() {}
    // Device thread: fills up to `length` bytes, blocking as long as the device needs.
    // Returns the bytes recorded (fewer when a stop was requested), or -1 when the
    // device is gone, which ends recording.
    virtual int Capture(uint8_t* buffer, int length) = 0;

    bool StopRequested() const;
    // Raised with a stop request: a device thread polling its device polls this too.
    const DeviceWake& Wake() const { return m_deviceWake; }
    // Sleeps until `deadline` or a stop request; false on a stop request.
    bool WaitUntil(Clock::time_point deadline);
    // Sleeps for as long as `samples` take to record, or until a stop request; false on a
    // stop request.
    bool WaitForSamples(long long samples);

private:
    struct Buffer {
        uint8_t* data;
        int length;
    };

    void Run();
    void JoinDeviceThread();

    FilledCallback m_onFilled;
    bool m_open = false;
    int m_rate = kNarrowbandRate; // set while closed, then read by the device thread
    std::thread m_deviceThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Buffer> m_queue; // front is the buffer being filled
    bool m_stopRequested = false;
    DeviceWake m_deviceWake;
    bool m_deviceFailed = false;
};
