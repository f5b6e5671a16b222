// SPDX-License-Identifier: GPL-3.0-or-later
// Capture test fakes: a recording frame sink, an input scripted by the test, a buffer log.
#include "CaptureTestSupport.h"
#include "WaitFor.h"

#include <algorithm>
#include <cstring>

namespace capturetest {

void RecordingSink::SendVoiceFrame(const uint8_t* frame, int length) {
    std::lock_guard lock(m_mutex);
    m_frames.push_back({std::vector<uint8_t>(frame, frame + length), Clock::now(),
                        std::this_thread::get_id()});
}

// The capture thread delivers by itself: no event loop needed.
bool RecordingSink::WaitForFrames(size_t count, Clock::duration timeout) {
    return WaitForThreads([&] { return Count() >= count; }, timeout);
}

size_t RecordingSink::Count() const {
    std::lock_guard lock(m_mutex);
    return m_frames.size();
}

std::vector<RecordingSink::Frame> RecordingSink::Frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

AudioInput::FilledCallback BufferLog::Callback() {
    return [this](uint8_t* buffer, int bytes) {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(
            {buffer, bytes, std::vector<uint8_t>(buffer, buffer + bytes), Clock::now()});
    };
}

bool BufferLog::WaitFor(size_t count, Clock::duration timeout) {
    return WaitForThreads([&] { return Count() >= count; }, timeout);
}

std::vector<BufferLog::Entry> BufferLog::Entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

size_t BufferLog::Count() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

bool ScriptedAudioInput::Open(FilledCallback onFilled) {
    std::lock_guard lock(m_log->mutex);
    if (m_log->failOpen)
        return false;
    m_log->onFilled = std::move(onFilled);
    return true;
}

bool ScriptedAudioInput::AddBuffer(uint8_t* buffer, int length) {
    if (length != 1920)
        return false;
    std::lock_guard lock(m_log->mutex);
    if (m_log->reset)
        ++m_log->addsAfterReset;
    m_log->queued.push_back(buffer);
    return true;
}

bool ScriptedAudioInput::Start() {
    std::lock_guard lock(m_log->mutex);
    m_log->started = true;
    return true;
}

void ScriptedAudioInput::Reset() {
    std::deque<uint8_t*> unfilled;
    FilledCallback onFilled;
    {
        std::lock_guard lock(m_log->mutex);
        m_log->reset = true;
        unfilled.swap(m_log->queued);
        onFilled = m_log->onFilled;
    }
    for (uint8_t* buffer : unfilled)
        onFilled(buffer, 0);
}

void ScriptedAudioInput::Close() {
    std::lock_guard lock(m_log->mutex);
    if (m_log->onFilled) {
        m_log->closed = true;
        m_log->onFilled = nullptr;
    }
}

bool ScriptedAudioInput::IsOpen() const {
    std::lock_guard lock(m_log->mutex);
    return static_cast<bool>(m_log->onFilled);
}

int VanishingAudioInput::Capture(uint8_t* buffer, int length) {
    if (m_left-- <= 0)
        return -1;
    const std::vector<uint8_t> pcm = FrameOfLevel(m_left + 1);
    std::memcpy(buffer, pcm.data(), static_cast<size_t>(std::min(length, 1920)));
    return length;
}

bool FillNext(ScriptedInputLog& log, const std::vector<uint8_t>& pcm, int bytesRecorded,
              Clock::duration timeout) {
    uint8_t* buffer = nullptr;
    AudioInput::FilledCallback onFilled;
    // Taken in the same locked look that finds it: a Reset on the capture thread may empty
    // the queue at any time.
    const bool taken = WaitForThreads(
        [&] {
            std::lock_guard lock(log.mutex);
            if (log.queued.empty())
                return false;
            buffer = log.queued.front();
            log.queued.pop_front();
            onFilled = log.onFilled;
            return true;
        },
        timeout);
    if (!taken)
        return false;
    std::memcpy(buffer, pcm.data(), static_cast<size_t>(bytesRecorded));
    onFilled(buffer, bytesRecorded);
    return true;
}

bool WaitForQueued(ScriptedInputLog& log, size_t count, Clock::duration timeout) {
    return WaitForThreads(
        [&] {
            std::lock_guard lock(log.mutex);
            return log.queued.size() >= count;
        },
        timeout);
}

std::vector<uint8_t> FrameOfLevel(int level) {
    std::vector<uint8_t> pcm(1920, 0);
    const auto value = static_cast<uint16_t>(level * 2);
    for (int i = 0; i < 960; i += 2) {
        pcm[2 * i] = static_cast<uint8_t>(value & 0xFF);
        pcm[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    return pcm;
}

std::vector<std::vector<uint8_t>> EncodeFresh(const std::vector<std::vector<uint8_t>>& pcmFrames) {
    CAcmCodec encoder;
    encoder.Open(CAcmCodec::DIRECTION_ENCODE);
    std::vector<std::vector<uint8_t>> out;
    for (const auto& pcm : pcmFrames) {
        std::vector<uint8_t> gsm(195);
        encoder.Convert(gsm.data(), pcm.data());
        out.push_back(gsm);
    }
    return out;
}

} // namespace capturetest
