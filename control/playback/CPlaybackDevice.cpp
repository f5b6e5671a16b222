// SPDX-License-Identifier: GPL-3.0-or-later
// Plays received voice: opens the audio output and runs the looping-buffer playback streams.
#include "CPlaybackDevice.h"

#include "CPlaybackStream.h"
#include "AudioOutput.h"
#include "AudioOutputBuffer.h"
#include "AudioOutputFactory.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace {
// The frame followed by 16 frames of silence: a stream that runs dry plays silence, not
// the audio of four seconds ago.
using Staging = std::array<uint8_t, CPlaybackStream::WRITE_REGION_BYTES>;
} // namespace

CPlaybackDevice::CPlaybackDevice(CAudioSession& session)
    : CPlaybackDevice([&session](std::string* error) {
          return CreateSessionAudioOutput(session, error);
      }) {}

CPlaybackDevice::CPlaybackDevice(OutputFactory factory) : m_factory(std::move(factory)) {}

CPlaybackDevice::~CPlaybackDevice() {
    Close();
}

bool CPlaybackDevice::Open() {
    Close(); // a second Open starts afresh instead of leaking the first
    m_lastError.clear();
    try {
        m_streams = std::make_unique<std::list<std::unique_ptr<CPlaybackStream>>>();
        std::string error;
        m_output = m_factory ? m_factory(&error) : nullptr;
        if (!m_output) {
            m_lastError = error.empty() ? "no audio output" : error;
            Close();
            return false;
        }
        if (!m_output->SetSampleRate(m_rate) || !m_output->Open()) {
            m_lastError = m_output->LastError();
            Close();
            return false;
        }
    } catch (const std::exception& e) {
        m_lastError = e.what();
        Close();
        return false;
    }
    return true;
}

CPlaybackStream* CPlaybackDevice::CreateStream() {
    if (!m_streams || !m_output) {
        m_lastError = "the playback device is not open";
        return nullptr;
    }
    try {
        m_streams->push_back(std::make_unique<CPlaybackStream>());
        CPlaybackStream* stream = m_streams->back().get();
        stream->m_buffer = m_output->CreateBuffer(CPlaybackStream::BUFFER_BYTES);
        if (!stream->m_buffer) {
            // The stream stays listed until Close, which frees it.
            m_lastError = "cannot create a playback buffer: " + m_output->LastError();
            return nullptr;
        }
        Reset(*stream);
        return stream;
    } catch (const std::exception& e) {
        m_lastError = e.what();
        return nullptr;
    }
}

bool CPlaybackDevice::Owns(const CPlaybackStream* s) const {
    // The engine's stream pointer outlives Close; a stale one must not be followed.
    if (s == nullptr || !m_streams) {
        return false;
    }
    return std::any_of(m_streams->begin(), m_streams->end(),
                       [s](const auto& owned) { return owned.get() == s; });
}

void CPlaybackDevice::Reset(CPlaybackStream& s) {
    if (s.m_buffer) {
        s.m_buffer->Stop();
        s.m_buffer->SetCurrentPosition(0);
    }
    s.m_queue.clear();
    s.m_playing = 0;
    s.m_framesWritten = 0;
    s.m_writeOffset = 0;
    s.m_bytesWritten = 0;
    s.m_bytesPlayed = 0;
    s.m_lastPlayCursor = 0;
    ++s.m_resets;
}

bool CPlaybackDevice::QueueFrame(CPlaybackStream* s, const uint8_t* pcm, int length) {
    // Anything but one whole frame would be read past its end or played as garbage.
    if (!Owns(s) || pcm == nullptr || length != static_cast<int>(CPlaybackStream::FRAME_BYTES)) {
        return false;
    }
    if (m_muted != 0) {
        return true;
    }
    try {
        auto frame = std::make_unique<CPlaybackStream::Frame>();
        std::memcpy(frame->data(), pcm, CPlaybackStream::FRAME_BYTES);
        s->m_queue.push_back(std::move(frame));
        s->m_fed = 1;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool CPlaybackDevice::PlayQueued(CPlaybackStream* s) {
    if (!Owns(s)) {
        return false;
    }
    if (s->m_queue.empty()) {
        return true;
    }
    if (!s->m_buffer) {
        s->m_queue.clear();
        return false;
    }
    Staging staging{};
    std::memcpy(staging.data(), s->m_queue.front()->data(), CPlaybackStream::FRAME_BYTES);
    s->m_queue.pop_front();

    AudioOutputBuffer& buffer = *s->m_buffer;
    if (s->m_playing != 0) {
        uint32_t cursor = 0;
        if (!buffer.GetCurrentPosition(&cursor) || cursor >= CPlaybackStream::BUFFER_BYTES) {
            // A cursor we cannot trust gives no lead to check: start over.
            Reset(*s);
        } else {
            const uint32_t movement =
                cursor >= s->m_lastPlayCursor
                    ? cursor - s->m_lastPlayCursor
                    : cursor - s->m_lastPlayCursor + CPlaybackStream::BUFFER_BYTES;
            s->m_bytesPlayed += movement;
            s->m_lastPlayCursor = cursor;
            // Unsigned on purpose: a cursor past the writes gives a huge lead.
            const uint32_t lead = s->m_bytesWritten - s->m_bytesPlayed;
            if (lead <= CPlaybackStream::LEAD_MIN || lead >= CPlaybackStream::LEAD_MAX) {
                Reset(*s);
            }
        }
    }

    if (!buffer.Lock(static_cast<uint32_t>(s->m_writeOffset), CPlaybackStream::WRITE_REGION_BYTES,
                     &s->m_region1, &s->m_length1, &s->m_region2, &s->m_length2)) {
        return false;
    }
    if (s->m_length1 >= CPlaybackStream::WRITE_REGION_BYTES) {
        std::memcpy(s->m_region1, staging.data(), CPlaybackStream::WRITE_REGION_BYTES);
    } else {
        std::memcpy(s->m_region1, staging.data(), s->m_length1);
        // The second region takes the rest, never more than the staging area holds.
        const uint32_t rest =
            std::min(s->m_length2, CPlaybackStream::WRITE_REGION_BYTES - s->m_length1);
        if (s->m_region2 != nullptr && rest > 0) {
            std::memcpy(s->m_region2, staging.data() + s->m_length1, rest);
        }
    }
    if (!buffer.Unlock(s->m_region1, s->m_length1, s->m_region2, s->m_length2)) {
        return false;
    }

    s->m_framesWritten += 1;
    bool started = true;
    if (s->m_playing == 0 && s->m_framesWritten >= CPlaybackStream::START_FRAMES) {
        if (buffer.Play()) {
            s->m_playing = 1;
            s->m_lastPlayCursor = 0;
        } else {
            started = false; // the next frame tries again
        }
    }
    s->m_writeOffset += static_cast<int32_t>(CPlaybackStream::FRAME_BYTES);
    if (s->m_writeOffset >= static_cast<int32_t>(CPlaybackStream::BUFFER_BYTES)) {
        s->m_writeOffset = 0;
    }
    s->m_bytesWritten += CPlaybackStream::FRAME_BYTES;
    return started;
}

void CPlaybackDevice::CheckIdleStreams() {
    if (!m_streams) {
        return;
    }
    for (const auto& stream : *m_streams) {
        if (stream->m_fed != 0) {
            stream->m_fed = 0;
        } else if (stream->m_playing != 0 || stream->m_framesWritten > 0) {
            // A lone frame left waiting for its partner would otherwise be played, stale,
            // in front of the next talk spurt.
            Reset(*stream);
        }
    }
}

void CPlaybackDevice::SetMute(bool mute) {
    m_muted = mute ? 1 : 0;
}

bool CPlaybackDevice::IsMuted() const {
    return m_muted != 0;
}

void CPlaybackDevice::MuteGate::Render(int16_t* out, size_t frames) {
    inner->Render(out, frames);
    if (muted->load() != 0)
        std::fill_n(out, frames, int16_t{0});
}

void CPlaybackDevice::AddSource(AudioSource* source) {
    RemoveSource(m_source);
    if (!m_output || source == nullptr)
        return;
    m_source = source;
    m_muteGate.inner = source;
    m_muteGate.muted = &m_muted;
    m_output->AddSource(&m_muteGate);
}

void CPlaybackDevice::RemoveSource(AudioSource* source) {
    if (source == nullptr || source != m_source)
        return;
    if (m_output)
        m_output->RemoveSource(&m_muteGate); // returns once it is no longer asked
    m_source = nullptr;
    m_muteGate.inner = nullptr;
}

void CPlaybackDevice::Close() {
    RemoveSource(m_source);
    // Streams first: their buffers belong to the output.
    m_streams.reset();
    if (m_output) {
        m_output->Close();
        m_output.reset();
    }
}
