// SPDX-License-Identifier: GPL-3.0-or-later
// The adaptive jitter buffer of wideband voice: packets by sequence number in, 20 ms frames out.
#pragma once

#include "WidebandFrame.h"

#include <array>
#include <cstdint>
#include <mutex>

class IVoiceDecoder;

// Frame k of the sender's capture is due at 20 k ms + the schedule's offset on our clock. The
// offset is the slowest transit (arrival - 20 k) seen in the last 3 s plus a hold of 30 ms,
// so a frame is there, with its successor for FEC, when it is due; at most 300 ms above the
// fastest transit. The device pulls on its own clock; when the frame it pulls is over a frame
// later than the one due, one frame is dropped (a quiet one if it comes soon, one per 0.5 s at
// most); when it is early, a concealed frame is inserted (after a quiet frame, or at once for
// a packet later than any before). So neither jitter that has passed nor two sound cards'
// clocks make the delay grow. Between talk spurts it plays silence and follows the schedule
// for free.
//
// Threads: Put runs on the control thread, Pull on the audio device's thread, Snapshot on
// any; everything they share is behind one mutex. The decoder and the copies being decoded
// belong to the thread that pulls, which decodes outside the mutex.
class CJitterBuffer {
public:
    static constexpr int kFrameMs = WidebandFrame::kMilliseconds;
    static constexpr int kMaxHeldFrames = 50; // a frame further ahead pushes the oldest out
    static constexpr int kHoldMs = 30;        // the target on a clean line
    static constexpr int kMaxTargetMs = 300;
    static constexpr int kWindowMs = 3000;        // how long a slow packet keeps the target up
    static constexpr int kMaxConcealedInARow = 5; // then silence: the talker has paused
    static constexpr int kMinStepIntervalMs = 500;

    enum class Played { Frame, Fec, Concealed, Silence };
    struct PullResult {
        Played played = Played::Silence;
        bool droppedToShrink = false; // a frame was skipped to bring the delay down
    };
    struct Stats {
        uint64_t played = 0;    // frames decoded from their own packet
        uint64_t fec = 0;       // lost frames rebuilt from their successor
        uint64_t concealed = 0; // frames guessed by the decoder, inserted ones included
        uint64_t inserted = 0;  // concealed frames played to let the delay grow
        uint64_t silence = 0;   // frames of silence outside speech
        uint64_t late = 0;      // packets that came after their frame was due
        uint64_t duplicates = 0;
        uint64_t dropped = 0;   // frames skipped to shrink the delay or follow drift
        uint64_t overflow = 0;  // frames pushed out unplayed (more than 50 ahead, a new start)
        int presentDelayMs = 0; // buffered ahead of the playout point
        int targetDelayMs = 0;  // the schedule's hold over the fastest transit
    };

    explicit CJitterBuffer(IVoiceDecoder& decoder); // the decoder outlives the buffer
    CJitterBuffer(const CJitterBuffer&) = delete;
    CJitterBuffer& operator=(const CJitterBuffer&) = delete;

    // One packet: seq counts 20 ms frames of capture and wraps at 65536; arrivalMs on the clock
    // Pull's nowMs uses. TRUE when it is held for playing; FALSE when refused (no data, not
    // 1..400 bytes), a duplicate, or late.
    bool Put(uint16_t seq, const uint8_t* opus, int length, int64_t arrivalMs);
    // Writes exactly 320 samples: the next frame as it is due on the schedule.
    PullResult Pull(int16_t* pcm320, int64_t nowMs);
    Stats Snapshot() const;

private:
    enum class SlotState : uint8_t { Empty, Held, Done };
    struct Slot {
        int64_t ext = 0; // the unwrapped sequence number
        SlotState state = SlotState::Empty;
        int length = 0;
        std::array<uint8_t, WidebandFrame::kMaxOpusBytes> data{};
    };
    struct Bucket { // the transits that arrived in one 500 ms
        int64_t id = INT64_MIN;
        int64_t minTransit = 0;
        int64_t maxTransit = 0;
    };
    struct Packet { // a copy taken for decoding outside the mutex
        int64_t ext = 0;
        int length = 0;
        std::array<uint8_t, WidebandFrame::kMaxOpusBytes> data{};
    };
    enum class Action { Silence, Decode, Fec, Conceal };
    struct Plan {
        Action action = Action::Silence;
        bool inserted = false;
        bool mayDrop = false;  // a successor is copied, to play instead if the frame is quiet
        bool mustDrop = false; // ... or whatever it is
    };

    static constexpr int kSlots = 64;
    static constexpr int kBucketMs = 500;
    static constexpr int kBuckets = kWindowMs / kBucketMs;

    Slot& SlotOf(int64_t ext) { return m_slots[static_cast<size_t>(ext & (kSlots - 1))]; }
    bool IsHeld(int64_t ext) const;
    void Anchor(int64_t ext, int64_t transit);
    Bucket& BucketOf(int64_t id);
    void Record(int64_t arrivalMs, int64_t transit);
    void UpdateSchedule(int64_t nowMs);
    void TakeCopy(int64_t ext, Packet& into);
    Plan PlanSilence(double due, int64_t nowMs);
    Plan PlanSpeech(double error, int64_t nowMs);
    int PresentDelayMs() const;

    IVoiceDecoder& m_decoder; // the puller's

    mutable std::mutex m_mutex;
    std::array<Slot, kSlots> m_slots;
    std::array<Bucket, kBuckets> m_buckets;
    bool m_anchored = false; // a first packet has set the playout point
    bool m_speaking = false; // playing speech, not silence between spurts
    int64_t m_next = 0;      // the frame the next Pull plays
    int64_t m_newest = 0;    // the newest frame received: the reference to unwrap seq
    int64_t m_offsetMs = 0;  // frame k is due at 20 k + this
    int64_t m_spreadMs = 0;  // slowest - fastest transit, kept across a silence
    int m_targetMs = kHoldMs;
    double m_playClock = 0; // the device's clock, smoothed: its wake-ups jitter
    bool m_clockRunning = false;
    int m_concealedInARow = 0;
    bool m_lastQuiet = true;
    int64_t m_lastStepMs = INT64_MIN / 2;
    int64_t m_wantDropSinceMs = -1;
    Stats m_stats;

    // The puller's alone.
    Packet m_frame;
    Packet m_successor;
};
