// SPDX-License-Identifier: GPL-3.0-or-later
// The adaptive jitter buffer of wideband voice: packets by sequence number in, 20 ms frames out.
#include "CJitterBuffer.h"

#include "IVoiceDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kSamples = WidebandFrame::kSamples;

// How far, in frames, the frame played may stray from the frame due before a step corrects
// it. The band is wider than one step, so a step never provokes the opposite one.
constexpr double kEarlyFrames = 0.25;    // played earlier than due: insert a frame when quiet
constexpr double kTooEarlyFrames = 0.75; // ... at once: a packet came later than any before
constexpr double kLateFrames = 1.25;     // played later than due: drop a quiet frame
constexpr double kTooLateFrames = 3.25;  // ... whatever it holds
constexpr int64_t kQuietWaitMs = 1000;   // the longest a due drop waits for a quiet frame
constexpr double kQuietRms = 300;        // about -40 dBFS: a pause between syllables

// The device thread's wake-ups wander by milliseconds; its clock is steadier than they are.
constexpr int kClockGain = 16;
constexpr int kClockResetMs = 100; // a jump this large: the device stopped, start the clock again

int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

bool IsQuiet(const int16_t* pcm) {
    double energy = 0;
    for (int i = 0; i < kSamples; ++i)
        energy += static_cast<double>(pcm[i]) * pcm[i];
    return energy < kQuietRms * kQuietRms * kSamples;
}

} // namespace

CJitterBuffer::CJitterBuffer(IVoiceDecoder& decoder) : m_decoder(decoder) {}

bool CJitterBuffer::IsHeld(int64_t ext) const {
    const Slot& slot = m_slots[static_cast<size_t>(ext & (kSlots - 1))];
    return slot.state == SlotState::Held && slot.ext == ext;
}

bool CJitterBuffer::Put(uint16_t seq, const uint8_t* opus, int length, int64_t arrivalMs) {
    if (opus == nullptr || length < 1 || length > WidebandFrame::kMaxOpusBytes)
        return false;
    std::lock_guard lock(m_mutex);
    // Serial-number arithmetic: seq is the one nearest the newest frame, either way round.
    const auto step =
        static_cast<int16_t>(static_cast<uint16_t>(seq - static_cast<uint16_t>(m_newest)));
    const int64_t ext = m_anchored ? m_newest + step : seq;
    const int64_t transit = arrivalMs - ext * kFrameMs;

    const int64_t nowId = FloorDiv(arrivalMs, kBucketMs);
    const bool recent = std::any_of(m_buckets.begin(), m_buckets.end(),
                                    [&](const Bucket& b) { return b.id > nowId - kBuckets; });
    if (!m_anchored || !recent) {
        // The first packet, or the first after a silence longer than the window: whatever
        // seq says, the playout point moves to this frame.
        Anchor(ext, transit);
        Record(arrivalMs, transit);
        // The jitter seen before the silence is likely still there.
        Bucket& bucket = BucketOf(nowId);
        bucket.maxTransit = std::max(bucket.maxTransit, transit + m_spreadMs);
    } else if (ext < m_next) {
        const Slot& slot = SlotOf(ext);
        if (slot.ext == ext && slot.state != SlotState::Empty) {
            ++m_stats.duplicates;
            return false;
        }
        ++m_stats.late;
        // Its lateness is what the schedule must make room for, unless it is absurd.
        if (m_next - ext <= kSlots) {
            Record(arrivalMs, transit);
            UpdateSchedule(arrivalMs);
        }
        return false;
    } else if (IsHeld(ext)) {
        ++m_stats.duplicates;
        return false;
    } else {
        if (ext >= m_next + kMaxHeldFrames) {
            const int64_t first = ext - kMaxHeldFrames + 1;
            for (Slot& slot : m_slots) {
                if (slot.state == SlotState::Held && slot.ext < first) {
                    slot.state = SlotState::Empty;
                    ++m_stats.overflow;
                }
            }
            m_next = first;
        }
        Record(arrivalMs, transit);
    }
    Slot& slot = SlotOf(ext);
    slot.ext = ext;
    slot.state = SlotState::Held;
    slot.length = length;
    std::memcpy(slot.data.data(), opus, static_cast<size_t>(length));
    m_newest = std::max(m_newest, ext);
    UpdateSchedule(arrivalMs);
    return true;
}

void CJitterBuffer::Anchor(int64_t ext, int64_t transit) {
    for (Slot& slot : m_slots) {
        if (slot.state == SlotState::Held)
            ++m_stats.overflow;
        slot.state = SlotState::Empty;
    }
    m_buckets.fill(Bucket{});
    m_anchored = true;
    m_speaking = false;
    m_next = ext;
    m_newest = ext;
    m_offsetMs = transit + kHoldMs;
}

CJitterBuffer::Bucket& CJitterBuffer::BucketOf(int64_t id) {
    return m_buckets[static_cast<size_t>((id % kBuckets + kBuckets) % kBuckets)];
}

void CJitterBuffer::Record(int64_t arrivalMs, int64_t transit) {
    const int64_t id = FloorDiv(arrivalMs, kBucketMs);
    Bucket& bucket = BucketOf(id);
    if (bucket.id != id) {
        bucket = Bucket{id, transit, transit};
        return;
    }
    bucket.minTransit = std::min(bucket.minTransit, transit);
    bucket.maxTransit = std::max(bucket.maxTransit, transit);
}

void CJitterBuffer::UpdateSchedule(int64_t nowMs) {
    const int64_t nowId = FloorDiv(nowMs, kBucketMs);
    int64_t fastest = INT64_MAX;
    int64_t slowest = INT64_MIN;
    for (const Bucket& bucket : m_buckets) {
        if (bucket.id > nowId - kBuckets) {
            fastest = std::min(fastest, bucket.minTransit);
            slowest = std::max(slowest, bucket.maxTransit);
        }
    }
    if (fastest == INT64_MAX)
        return; // nothing came for a while: keep the schedule through the silence
    m_spreadMs = slowest - fastest;
    m_targetMs = static_cast<int>(std::min<int64_t>(m_spreadMs + kHoldMs, kMaxTargetMs));
    m_offsetMs = fastest + m_targetMs;
}

void CJitterBuffer::TakeCopy(int64_t ext, Packet& into) {
    const Slot& slot = SlotOf(ext);
    into.ext = ext;
    into.length = slot.length;
    std::memcpy(into.data.data(), slot.data.data(), static_cast<size_t>(slot.length));
}

CJitterBuffer::Plan CJitterBuffer::PlanSilence(double due, int64_t nowMs) {
    // Nothing is heard, so the playout point follows the schedule exactly, up to the first
    // frame held.
    const auto dueFrame = static_cast<int64_t>(std::floor(due));
    int64_t first = INT64_MAX;
    for (const Slot& slot : m_slots) {
        if (slot.state == SlotState::Held && slot.ext >= m_next)
            first = std::min(first, slot.ext);
    }
    m_next = std::max(m_next, std::min(dueFrame, first));
    if (first != m_next || dueFrame < m_next)
        return {};
    m_speaking = true;
    m_concealedInARow = 0;
    return PlanSpeech(due - static_cast<double>(m_next), nowMs);
}

CJitterBuffer::Plan CJitterBuffer::PlanSpeech(double error, int64_t nowMs) {
    Plan plan;
    if (error < -kEarlyFrames && (error < -kTooEarlyFrames || m_lastQuiet)) {
        // Frames are played earlier than the jitter now seen allows: one frame of room.
        if (m_concealedInARow >= kMaxConcealedInARow) {
            m_speaking = false;
            return plan;
        }
        plan.action = Action::Conceal;
        plan.inserted = true;
        return plan;
    }
    if (error < kLateFrames)
        m_wantDropSinceMs = -1;
    else if (m_wantDropSinceMs < 0)
        m_wantDropSinceMs = nowMs;
    const bool mayStep = error >= kLateFrames && nowMs - m_lastStepMs >= kMinStepIntervalMs;

    if (IsHeld(m_next)) {
        TakeCopy(m_next, m_frame);
        plan.action = Action::Decode;
        if (mayStep && IsHeld(m_next + 1)) {
            TakeCopy(m_next + 1, m_successor);
            plan.mayDrop = true;
            plan.mustDrop = error >= kTooLateFrames || nowMs - m_wantDropSinceMs >= kQuietWaitMs;
        }
        SlotOf(m_next).state = SlotState::Done;
    } else if (IsHeld(m_next + 1)) {
        TakeCopy(m_next + 1, m_successor);
        plan.action = Action::Fec;
    } else if (m_concealedInARow < kMaxConcealedInARow) {
        plan.action = Action::Conceal;
    } else {
        // The talker has paused (or the line is down): silence, not a guess that goes on.
        m_speaking = false;
    }
    ++m_next;
    return plan;
}

CJitterBuffer::PullResult CJitterBuffer::Pull(int16_t* pcm320, int64_t nowMs) {
    PullResult result;
    if (pcm320 == nullptr)
        return result;
    Plan plan;
    {
        std::lock_guard lock(m_mutex);
        const double expected = m_playClock + kFrameMs;
        if (!m_clockRunning || std::abs(static_cast<double>(nowMs) - expected) > kClockResetMs)
            m_playClock = static_cast<double>(nowMs);
        else
            m_playClock = expected + (static_cast<double>(nowMs) - expected) / kClockGain;
        m_clockRunning = true;
        if (m_anchored) {
            UpdateSchedule(nowMs);
            const double due = (m_playClock - static_cast<double>(m_offsetMs)) / kFrameMs;
            plan = m_speaking ? PlanSpeech(due - static_cast<double>(m_next), nowMs)
                              : PlanSilence(due, nowMs);
        }
    }

    // The decoder is ours alone: decode without holding up Put.
    int samples = -1;
    bool dropped = false;
    switch (plan.action) {
    case Action::Decode:
        samples = m_decoder.Decode(m_frame.data.data(), m_frame.length, pcm320);
        if (samples == kSamples && (plan.mustDrop || (plan.mayDrop && IsQuiet(pcm320)))) {
            // The dropped frame was decoded all the same, so the decoder's state runs on.
            dropped = true;
            samples = m_decoder.Decode(m_successor.data.data(), m_successor.length, pcm320);
        }
        result.played = Played::Frame;
        break;
    case Action::Fec:
        samples = m_decoder.DecodeFec(m_successor.data.data(), m_successor.length, pcm320);
        result.played = Played::Fec;
        break;
    case Action::Conceal:
        samples = m_decoder.Conceal(pcm320);
        result.played = Played::Concealed;
        break;
    case Action::Silence:
        break;
    }
    if (samples != kSamples && plan.action != Action::Silence && plan.action != Action::Conceal) {
        // A packet the decoder refuses is as good as lost.
        samples = m_decoder.Conceal(pcm320);
        result.played = Played::Concealed;
    }
    if (samples != kSamples) {
        std::fill(pcm320, pcm320 + kSamples, int16_t{0});
        result.played = Played::Silence;
    }
    result.droppedToShrink = dropped;

    std::lock_guard lock(m_mutex);
    switch (result.played) {
    case Played::Frame:
        ++m_stats.played;
        m_concealedInARow = 0;
        break;
    case Played::Fec:
        ++m_stats.fec;
        m_concealedInARow = 0;
        break;
    case Played::Concealed:
        ++m_stats.concealed;
        m_stats.inserted += plan.inserted ? 1 : 0;
        ++m_concealedInARow;
        break;
    case Played::Silence:
        ++m_stats.silence;
        break;
    }
    if (plan.inserted || dropped)
        m_lastStepMs = nowMs;
    if (dropped) {
        ++m_stats.dropped;
        m_wantDropSinceMs = -1;
        if (m_next == m_successor.ext && IsHeld(m_next)) {
            SlotOf(m_next).state = SlotState::Done;
            ++m_next;
        }
    }
    m_lastQuiet = IsQuiet(pcm320);
    return result;
}

int CJitterBuffer::PresentDelayMs() const {
    if (!m_anchored || m_newest < m_next)
        return 0;
    return static_cast<int>(m_newest - m_next + 1) * kFrameMs;
}

CJitterBuffer::Stats CJitterBuffer::Snapshot() const {
    std::lock_guard lock(m_mutex);
    Stats stats = m_stats;
    stats.presentDelayMs = PresentDelayMs();
    stats.targetDelayMs = m_targetMs;
    return stats;
}
