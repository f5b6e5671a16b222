// SPDX-License-Identifier: GPL-3.0-or-later
// One playback stream: a looping output buffer with a small frame queue in front of it.
#pragma once

#include "VoiceFrame.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>

class AudioOutputBuffer;

// A stream is state only: CPlaybackDevice runs the algorithm on it. Everything here
// belongs to the owner's thread; the output buffer guards what it shares with its
// device thread itself.
class CPlaybackStream {
public:
    static constexpr uint32_t FRAME_BYTES = VoiceFrame::kPcmBytes;
    static constexpr uint32_t BUFFER_BYTES = 65280;       // 34 frames, 4.08 s
    static constexpr uint32_t WRITE_REGION_BYTES = 32640; // one frame + 16 frames of silence
    static constexpr uint32_t LEAD_MIN = 400;             // at or below: the cursor caught up
    static constexpr uint32_t LEAD_MAX = 5000;            // at or above: too far ahead
    static constexpr uint32_t START_FRAMES = 2;

    using Frame = std::array<uint8_t, FRAME_BYTES>;

    CPlaybackStream();
    ~CPlaybackStream();
    CPlaybackStream(const CPlaybackStream&) = delete;
    CPlaybackStream& operator=(const CPlaybackStream&) = delete;

    // Read-only views, for the engine's diagnostics and for tests.
    bool IsFed() const { return m_fed != 0; }
    bool IsPlaying() const { return m_playing != 0; }
    uint32_t BytesWritten() const { return m_bytesWritten; }
    uint32_t BytesPlayed() const { return m_bytesPlayed; }
    uint32_t LastPlayCursor() const { return m_lastPlayCursor; }
    uint32_t FramesWritten() const { return m_framesWritten; }
    int32_t WriteOffset() const { return m_writeOffset; }
    size_t QueuedFrames() const { return m_queue.size(); }
    uint32_t ResetCount() const { return m_resets; }
    AudioOutputBuffer* Buffer() const { return m_buffer.get(); }

private:
    friend class CPlaybackDevice;

    std::unique_ptr<AudioOutputBuffer> m_buffer;
    // Lock results of the last write.
    uint8_t* m_region1 = nullptr;
    uint8_t* m_region2 = nullptr;
    uint32_t m_length1 = 0;
    uint32_t m_length2 = 0;
    int32_t m_fed = 1;
    int32_t m_playing = 0;
    uint32_t m_bytesWritten = 0;
    uint32_t m_bytesPlayed = 0;
    uint32_t m_lastPlayCursor = 0;
    uint32_t m_framesWritten = 0;
    int32_t m_writeOffset = 0;
    std::deque<std::unique_ptr<Frame>> m_queue;
    uint32_t m_resets = 0;
};
