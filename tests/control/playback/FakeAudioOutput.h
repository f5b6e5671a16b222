// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted audio output for the playback tests: the test moves the play cursor.
#pragma once

#include "AudioOutput.h"
#include "AudioOutputBuffer.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

// What the fake buffer saw and what the test wants it to do; shared with the test so it
// stays readable after the device has taken the buffer.
struct FakeBufferState {
    std::vector<uint8_t> data = std::vector<uint8_t>(65280, 0xAA);
    uint32_t cursor = 0;
    bool playing = false;
    int plays = 0;
    int stops = 0;
    std::vector<uint32_t> positionsSet;
    std::vector<uint32_t> lockOffsets;
    std::vector<std::pair<uint32_t, uint32_t>> lockLengths;
    bool failLock = false;
    bool failUnlock = false;
    bool failPosition = false;
    bool failPlay = false;
    bool destroyed = false;
};

class FakeBuffer final : public AudioOutputBuffer {
public:
    explicit FakeBuffer(std::shared_ptr<FakeBufferState> state) : m_state(std::move(state)) {}
    ~FakeBuffer() override { m_state->destroyed = true; }

    uint32_t Size() const override { return static_cast<uint32_t>(m_state->data.size()); }
    bool Lock(uint32_t offset, uint32_t bytes, uint8_t** r1, uint32_t* l1, uint8_t** r2,
              uint32_t* l2) override {
        m_state->lockOffsets.push_back(offset);
        if (m_state->failLock || offset >= Size() || bytes > Size()) {
            return false;
        }
        const uint32_t first = std::min(bytes, Size() - offset);
        *r1 = m_state->data.data() + offset;
        *l1 = first;
        *r2 = bytes > first ? m_state->data.data() : nullptr;
        *l2 = bytes - first;
        m_state->lockLengths.emplace_back(*l1, *l2);
        return true;
    }
    bool Unlock(uint8_t*, uint32_t, uint8_t*, uint32_t) override { return !m_state->failUnlock; }
    bool Play() override {
        if (m_state->failPlay) {
            return false;
        }
        ++m_state->plays;
        m_state->playing = true;
        return true;
    }
    bool Stop() override {
        ++m_state->stops;
        m_state->playing = false;
        return true;
    }
    bool SetCurrentPosition(uint32_t position) override {
        m_state->positionsSet.push_back(position);
        m_state->cursor = position;
        return true;
    }
    bool GetCurrentPosition(uint32_t* cursor) override {
        *cursor = m_state->cursor;
        return !m_state->failPosition;
    }
    bool IsPlaying() const override { return m_state->playing; }

private:
    std::shared_ptr<FakeBufferState> m_state;
};

class FakeAudioOutput final : public AudioOutput {
public:
    explicit FakeAudioOutput(std::shared_ptr<FakeBufferState> state, bool openFails = false,
                             bool bufferFails = false)
        : m_state(std::move(state)), m_openFails(openFails), m_bufferFails(bufferFails) {}

    bool Open() override {
        m_open = !m_openFails;
        return m_open;
    }
    void Close() override { m_open = false; }
    std::unique_ptr<AudioOutputBuffer> CreateBuffer(uint32_t bytes) override {
        if (!m_open || m_bufferFails || bytes != m_state->data.size()) {
            return nullptr;
        }
        return std::make_unique<FakeBuffer>(m_state);
    }
    bool IsRunning() const override { return m_open; }
    bool SetSampleRate(int rate) override {
        m_rate = rate;
        return true;
    }
    int SampleRate() const override { return m_rate; }
    void AddSource(AudioSource*) override {}
    void RemoveSource(AudioSource*) override {}
    int m_rate = kNarrowbandRate;
    std::string LastError() const override { return m_openFails ? "no device" : ""; }

private:
    std::shared_ptr<FakeBufferState> m_state;
    bool m_openFails;
    bool m_bufferFails;
    bool m_open = false;
};
