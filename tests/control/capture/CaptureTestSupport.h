// SPDX-License-Identifier: GPL-3.0-or-later
// Capture test fakes: a recording frame sink, an input scripted by the test, a buffer log.
#pragma once

#include "CAcmCodec.h"
#include "IVoiceFrameSink.h"
#include "AudioInput.h"
#include "AudioInputBase.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace capturetest {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Records every frame the capture thread hands over.
class RecordingSink : public IVoiceFrameSink {
public:
    struct Frame {
        std::vector<uint8_t> bytes;
        Clock::time_point arrived;
        std::thread::id thread;
    };

    void SendVoiceFrame(const uint8_t* frame, int length) override;
    void SendWidebandFrame(uint16_t, const uint8_t* packet, int length) override {
        SendVoiceFrame(packet, length);
    }
    // Waits until at least `count` frames arrived; false on time-out.
    bool WaitForFrames(size_t count, Clock::duration timeout = 10s);
    size_t Count() const;
    std::vector<Frame> Frames() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Frame> m_frames;
};

// Records the buffers an AudioInput hands back.
class BufferLog {
public:
    struct Entry {
        uint8_t* buffer;
        int bytes;
        std::vector<uint8_t> data;
        Clock::time_point arrived;
    };
    AudioInput::FilledCallback Callback();
    // Waits until at least `count` buffers came back; false on time-out.
    bool WaitFor(size_t count, Clock::duration timeout = 10s);
    std::vector<Entry> Entries() const;
    size_t Count() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

// What a scripted input saw, kept apart from the input so that the test can still read
// it after the capture thread has destroyed the input.
struct ScriptedInputLog {
    std::mutex mutex;
    std::deque<uint8_t*> queued;
    int addsAfterReset = 0;
    bool started = false, reset = false, closed = false, failOpen = false, realDevice = false;
    AudioInput::FilledCallback onFilled;
};

// An input whose buffers are filled when the test says so, from the test's thread.
class ScriptedAudioInput : public AudioInput {
public:
    explicit ScriptedAudioInput(std::shared_ptr<ScriptedInputLog> log) : m_log(std::move(log)) {}
    ~ScriptedAudioInput() override { Close(); }
    bool SetSampleRate(int rate) override {
        m_rate = rate;
        return true;
    }
    int SampleRate() const override { return m_rate; }
    bool Open(FilledCallback onFilled) override;
    bool AddBuffer(uint8_t* buffer, int length) override;
    bool Start() override;
    void Reset() override;
    void Stop() override {}
    void Close() override;
    bool IsOpen() const override;
    bool IsRealDevice() const override { return m_log->realDevice; }

private:
    std::shared_ptr<ScriptedInputLog> m_log;
    int m_rate = kNarrowbandRate;
};

// Records `buffers` buffers of a steady level from its device thread, then reports the
// device gone, as an unplugged microphone would.
class VanishingAudioInput final : public AudioInputBase {
public:
    explicit VanishingAudioInput(int buffers) : m_left(buffers) {}
    ~VanishingAudioInput() override { Close(); }

protected:
    bool OpenDevice() override { return true; }
    void CloseDevice() override {}
    int Capture(uint8_t* buffer, int length) override;

private:
    int m_left;
};

// Test side of a scripted input: waits for a queued buffer, fills it and hands it over.
// Returns false when no buffer is queued within the time-out.
bool FillNext(ScriptedInputLog& log, const std::vector<uint8_t>& pcm, int bytesRecorded = 1920,
              Clock::duration timeout = 5s);
// Waits until `count` buffers are queued with the input.
bool WaitForQueued(ScriptedInputLog& log, size_t count, Clock::duration timeout = 5s);

// A 1920-byte frame whose samples alternate +level*2 and 0, so its mean positive level is `level`.
std::vector<uint8_t> FrameOfLevel(int level);

// Encodes frames with a fresh encoder, as the capture thread's encoder would from its start.
std::vector<std::vector<uint8_t>> EncodeFresh(const std::vector<std::vector<uint8_t>>& pcmFrames);

} // namespace capturetest
