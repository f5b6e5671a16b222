// SPDX-License-Identifier: GPL-3.0-or-later
// Base of the output backends: a device thread that streams the mixed buffers period by period.
#pragma once

#include "AudioOutput.h"
#include "DeviceWake.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class AudioOutputMixer;
class EchoReference;

// A backend says how to open its sink, how to wait for the next period and where a
// rendered period goes; this class runs the device thread in between, so the buffers'
// play cursors advance exactly as far as audio has been handed to the sink.
//
// Threads: Open/Close/CreateBuffer run on the owner's thread; NextPeriod and WritePeriod
// on the device thread; OpenSink/CloseSink on the owner's thread while no device thread
// runs. The stop flag and the running flag are atomic; the error text is guarded.
// A derived class must call Close() in its destructor, while its sink still exists.
class AudioOutputStreamer : public AudioOutput {
public:
    ~AudioOutputStreamer() override;

    bool SetSampleRate(int rate) override;
    int SampleRate() const override { return m_rate; }
    bool Open() override;
    void Close() override;
    std::unique_ptr<AudioOutputBuffer> CreateBuffer(uint32_t bytes) override;
    void AddSource(AudioSource* source) override;
    void RemoveSource(AudioSource* source) override;
    bool IsRunning() const override { return m_running.load(); }
    std::string LastError() const override;

    // Sample frames handed to the sink since Open (at the device's rate).
    uint64_t FramesStreamed() const { return m_framesStreamed.load(); }
    // Where each period handed to the sink is appended (the echo canceller's reference);
    // null: nowhere. Owner's thread, before Open.
    void SetEchoReference(EchoReference* reference) { m_reference = reference; }

protected:
    static constexpr int PERIOD_MS = 20;
    // A period's frames at the device's rate.
    size_t PeriodFrames() const { return static_cast<size_t>(m_rate * PERIOD_MS / 1000); }

    AudioOutputStreamer();

    virtual bool OpenSink(std::string* error) = 0;
    virtual void CloseSink() = 0;
    // Device thread: blocks until audio is due, then returns how many frames to render
    // (0 to look at the stop flag again, negative when the device is gone).
    virtual long NextPeriod(std::string* error) = 0;
    // Device thread: false when the device is gone.
    virtual bool WritePeriod(const int16_t* samples, size_t frames, std::string* error) = 0;

    // For clock-paced backends: waits for the next 20 ms tick of an absolute clock that
    // started with the device thread and returns the frames that fell due since the last
    // call, so the stream keeps real time however late a wakeup is. Close wakes it early.
    long WaitForClock();
    // Owner's thread, in Open: the clock of the stream starts now (sample 0).
    virtual void StreamStarted() {}
    bool StopRequested() const { return m_stop.load(); }
    // Raised with the stop flag: a device thread polling its device polls this too.
    const DeviceWake& Wake() const { return m_deviceWake; }

private:
    void Run();
    void Stream();
    void SetError(const std::string& text);

    std::shared_ptr<AudioOutputMixer> m_mixer;
    int m_rate = kNarrowbandRate; // set while closed, then read by the device thread
    EchoReference* m_reference = nullptr; // read by the device thread, set before it starts
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_framesStreamed{0};

    std::mutex m_wakeMutex;
    std::condition_variable m_wake; // Close wakes a clock wait
    DeviceWake m_deviceWake;        // and a wait on the device

    // Device thread only.
    std::chrono::steady_clock::time_point m_clockStart;
    uint64_t m_clockTicks = 0;
    uint64_t m_clockFrames = 0;

    mutable std::mutex m_errorMutex;
    std::string m_error; // guarded
};
