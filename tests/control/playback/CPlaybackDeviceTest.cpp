// SPDX-License-Identifier: GPL-3.0-or-later
// The playback algorithm against a fake looping buffer whose play cursor the test moves.
#include "CPlaybackDevice.h"
#include "CPlaybackStream.h"
#include "FakeAudioOutput.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

constexpr uint32_t FRAME = CPlaybackStream::FRAME_BYTES;
constexpr uint32_t SIZE = CPlaybackStream::BUFFER_BYTES;

std::array<uint8_t, FRAME> MakeFrame(int n) {
    std::array<uint8_t, FRAME> f{};
    for (uint32_t i = 0; i < FRAME; ++i) {
        f[i] = static_cast<uint8_t>(1 + (n * 7 + i) % 250); // never zero: silence stands out
    }
    return f;
}

class PlaybackAlgorithm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.Open());
        stream = device.CreateStream();
        ASSERT_NE(stream, nullptr);
    }

    bool Feed(int n) {
        const auto f = MakeFrame(n);
        EXPECT_TRUE(device.QueueFrame(stream, f.data(), static_cast<int>(f.size())));
        return device.PlayQueued(stream);
    }

    bool RegionHoldsFrame(uint32_t offset, int n) const {
        const auto f = MakeFrame(n);
        return std::equal(f.begin(), f.end(), state->data.begin() + offset);
    }

    // Bytes [offset, offset + length) of the looping buffer, wrapping, are all zero.
    bool IsSilent(uint32_t offset, uint32_t length) const {
        for (uint32_t i = 0; i < length; ++i) {
            if (state->data[(offset + i) % SIZE] != 0) {
                return false;
            }
        }
        return true;
    }

    // Starts playback with two frames and then keeps the cursor one frame behind the
    // writes, as a device playing in real time would.
    void PlaySteadily(int frames, int first = 0) {
        for (int n = first; n < first + frames; ++n) {
            if (stream->IsPlaying()) {
                state->cursor = (state->cursor + FRAME) % SIZE;
            }
            ASSERT_TRUE(Feed(n));
        }
    }

    std::shared_ptr<FakeBufferState> state = std::make_shared<FakeBufferState>();
    CPlaybackDevice device{
        [s = state](std::string*) { return std::make_unique<FakeAudioOutput>(s); }};
    CPlaybackStream* stream = nullptr;
};

TEST_F(PlaybackAlgorithm, SecondFrameStartsPlaybackFromTheStartOfTheBuffer) {
    EXPECT_EQ(state->positionsSet, std::vector<uint32_t>{0});
    EXPECT_TRUE(stream->IsFed()); // a new stream survives its first idle check

    ASSERT_TRUE(Feed(1));
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_EQ(state->plays, 0);
    EXPECT_TRUE(RegionHoldsFrame(0, 1));
    EXPECT_TRUE(IsSilent(FRAME, CPlaybackStream::WRITE_REGION_BYTES - FRAME));
    EXPECT_EQ(state->data[CPlaybackStream::WRITE_REGION_BYTES], 0xAA); // nothing beyond

    ASSERT_TRUE(Feed(2));
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_EQ(state->plays, 1);
    EXPECT_EQ(state->cursor, 0u);
    EXPECT_TRUE(RegionHoldsFrame(0, 1)); // the second write kept the first frame
    EXPECT_TRUE(RegionHoldsFrame(FRAME, 2));
    EXPECT_EQ(stream->WriteOffset(), 2 * static_cast<int32_t>(FRAME));
    EXPECT_EQ(stream->BytesWritten(), 2 * FRAME);
    EXPECT_EQ(stream->FramesWritten(), 2u);
    EXPECT_EQ(stream->QueuedFrames(), 0u);
}

TEST_F(PlaybackAlgorithm, SteadyPlaybackWrapsAndKeepsCounting) {
    const uint32_t resetsBefore = stream->ResetCount();
    PlaySteadily(80); // more than two trips round the buffer
    EXPECT_EQ(stream->ResetCount(), resetsBefore);
    EXPECT_EQ(state->plays, 1);
    EXPECT_EQ(stream->BytesWritten(), 80 * FRAME);
    // The first measurement happens at the third frame; each one after moved a frame.
    EXPECT_EQ(stream->BytesPlayed(), 78 * FRAME);
    // Offsets go 0, 1920, ..., 63360, then 0 again.
    ASSERT_EQ(state->lockOffsets.size(), 80u);
    for (size_t i = 0; i < state->lockOffsets.size(); ++i) {
        EXPECT_EQ(state->lockOffsets[i], (i * FRAME) % SIZE) << "write " << i;
    }
    EXPECT_EQ(state->lockOffsets[33], 63360u);
    EXPECT_EQ(state->lockOffsets[34], 0u);
    EXPECT_EQ(stream->WriteOffset(), static_cast<int32_t>((80 * FRAME) % SIZE));
}

TEST_F(PlaybackAlgorithm, WritesSplitIntoTwoRegionsOnlyPastTheMiddle) {
    PlaySteadily(19);
    // Write 17 went to 32640: exactly the rest of the buffer in one region.
    EXPECT_EQ(state->lockOffsets[17], 32640u);
    EXPECT_EQ(state->lockLengths[17], std::make_pair(32640u, 0u));
    // Write 18 went to 34560: split across the end.
    EXPECT_EQ(state->lockOffsets[18], 34560u);
    EXPECT_EQ(state->lockLengths[18], std::make_pair(30720u, 1920u));
    EXPECT_TRUE(RegionHoldsFrame(34560, 18));
    EXPECT_TRUE(IsSilent(34560 + FRAME, SIZE - 34560 - FRAME));
    EXPECT_TRUE(IsSilent(0, FRAME)); // the silence wrapped over the oldest frame

    PlaySteadily(15, 19); // up to the last slot
    EXPECT_EQ(state->lockOffsets[33], 63360u);
    EXPECT_EQ(state->lockLengths[33], std::make_pair(1920u, 30720u));
    EXPECT_TRUE(RegionHoldsFrame(63360, 33));
    EXPECT_TRUE(IsSilent(0, 30720));
    EXPECT_TRUE(RegionHoldsFrame(30720, 16)); // untouched past the silence
}

// Lead = bytes written - bytes played, measured before the frame goes in; the window
// is open on both ends: 400 and 5000 themselves reset.
struct LeadCase {
    uint32_t cursor;
    bool resets;
};

class LeadWindow : public PlaybackAlgorithm, public ::testing::WithParamInterface<LeadCase> {};

TEST_P(LeadWindow, ResetsOutsideFourHundredToFiveThousand) {
    PlaySteadily(2);      // playing, written 3840, cursor 0
    ASSERT_TRUE(Feed(3)); // cursor still 0: lead 3840, inside
    ASSERT_TRUE(stream->IsPlaying());
    const uint32_t resets = stream->ResetCount();
    const int stops = state->stops;

    state->cursor = GetParam().cursor; // written is now 5760
    ASSERT_TRUE(Feed(4));
    if (GetParam().resets) {
        EXPECT_EQ(stream->ResetCount(), resets + 1);
        EXPECT_EQ(state->stops, stops + 1);
        EXPECT_EQ(state->positionsSet.back(), 0u);
        // The frame that found the drift is written afresh at the start.
        EXPECT_FALSE(stream->IsPlaying());
        EXPECT_EQ(stream->FramesWritten(), 1u);
        EXPECT_EQ(stream->BytesWritten(), FRAME);
        EXPECT_EQ(stream->BytesPlayed(), 0u);
        EXPECT_EQ(state->lockOffsets.back(), 0u);
        EXPECT_TRUE(RegionHoldsFrame(0, 4));
        // And the next one restarts playback from position 0.
        ASSERT_TRUE(Feed(5));
        EXPECT_TRUE(stream->IsPlaying());
        EXPECT_EQ(state->cursor, 0u);
    } else {
        EXPECT_EQ(stream->ResetCount(), resets);
        EXPECT_TRUE(stream->IsPlaying());
        EXPECT_EQ(stream->FramesWritten(), 4u);
        EXPECT_EQ(state->lockOffsets.back(), 3 * FRAME);
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, LeadWindow,
                         ::testing::Values(LeadCase{760, true},    // lead 5000: burst
                                           LeadCase{761, false},   // 4999
                                           LeadCase{5359, false},  // 401
                                           LeadCase{5360, true},   // 400: caught up
                                           LeadCase{5760, true},   // 0
                                           LeadCase{7680, true})); // overtook: "negative"

TEST_F(PlaybackAlgorithm, BurstOfFramesResetsAndRestartsWithTwoFramesOfDelay) {
    // Four frames at once, the cursor not moving: lead 5760 at the fourth.
    for (int n = 0; n < 4; ++n) {
        ASSERT_TRUE(Feed(n));
    }
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_EQ(stream->FramesWritten(), 1u);
    ASSERT_TRUE(Feed(4));
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_TRUE(RegionHoldsFrame(0, 3));
    EXPECT_TRUE(RegionHoldsFrame(FRAME, 4));
}

TEST_F(PlaybackAlgorithm, CursorWrappingBetweenReadsIsForwardMovement) {
    // Play steadily until the cursor is a frame from the end of the buffer.
    PlaySteadily(35);
    ASSERT_EQ(stream->WriteOffset(), static_cast<int32_t>(FRAME));
    const uint32_t playedBefore = stream->BytesPlayed();
    const uint32_t lastCursor = stream->LastPlayCursor();
    ASSERT_GT(lastCursor, SIZE - 2 * FRAME);
    state->cursor = (lastCursor + FRAME) % SIZE; // wraps past the end
    ASSERT_LT(state->cursor, lastCursor);
    ASSERT_TRUE(Feed(35));
    EXPECT_EQ(stream->BytesPlayed(), playedBefore + FRAME);
    EXPECT_TRUE(stream->IsPlaying());
}

TEST_F(PlaybackAlgorithm, IdleCheckStopsAStreamOnlyAfterAWholeSilentPeriod) {
    PlaySteadily(5);
    const uint32_t resets = stream->ResetCount();
    device.CheckIdleStreams(); // frames came in this period: only clears the flag
    EXPECT_FALSE(stream->IsFed());
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_EQ(stream->ResetCount(), resets);

    PlaySteadily(1, 5); // a frame in the next period keeps it alive
    device.CheckIdleStreams();
    EXPECT_TRUE(stream->IsPlaying());

    device.CheckIdleStreams(); // a whole period without frames
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_FALSE(state->playing);
    EXPECT_EQ(stream->ResetCount(), resets + 1);
    EXPECT_EQ(stream->WriteOffset(), 0);
    EXPECT_EQ(state->cursor, 0u);

    device.CheckIdleStreams(); // a stopped stream stays as it is
    EXPECT_EQ(stream->ResetCount(), resets + 1);

    // Speech resumes with a fresh two-frame start.
    ASSERT_TRUE(Feed(20));
    EXPECT_FALSE(stream->IsPlaying());
    ASSERT_TRUE(Feed(21));
    EXPECT_TRUE(stream->IsPlaying());
}

TEST_F(PlaybackAlgorithm, IdleCheckDropsALoneFrameWaitingForItsPartner) {
    ASSERT_TRUE(Feed(1));
    device.CheckIdleStreams();
    device.CheckIdleStreams();
    EXPECT_EQ(stream->FramesWritten(), 0u);
    // The next talk spurt does not begin with the stale frame.
    ASSERT_TRUE(Feed(2));
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_TRUE(RegionHoldsFrame(0, 2));
}

TEST_F(PlaybackAlgorithm, MutedFramesAreDroppedAndTheStreamRunsDry) {
    PlaySteadily(4);
    device.CheckIdleStreams(); // clears fed
    device.SetMute(true);
    EXPECT_TRUE(device.IsMuted());
    const auto locks = state->lockOffsets.size();
    const uint32_t written = stream->BytesWritten();
    const auto f = MakeFrame(9);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(device.QueueFrame(stream, f.data(), FRAME));
        EXPECT_TRUE(device.PlayQueued(stream));
    }
    EXPECT_EQ(stream->QueuedFrames(), 0u);
    EXPECT_FALSE(stream->IsFed());
    EXPECT_EQ(state->lockOffsets.size(), locks);
    EXPECT_EQ(stream->BytesWritten(), written);

    device.CheckIdleStreams(); // the muted period counts as silent
    EXPECT_FALSE(stream->IsPlaying());

    // Mute outlives Close and Open.
    device.Close();
    EXPECT_TRUE(device.IsMuted());
    ASSERT_TRUE(device.Open());
    stream = device.CreateStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(device.IsMuted());
    EXPECT_TRUE(device.QueueFrame(stream, f.data(), FRAME));
    EXPECT_EQ(stream->QueuedFrames(), 0u);

    device.SetMute(false);
    ASSERT_TRUE(Feed(10));
    ASSERT_TRUE(Feed(11));
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_TRUE(RegionHoldsFrame(0, 10));
}

TEST_F(PlaybackAlgorithm, FailedLockOrUnlockLosesTheFrameAndNothingElse) {
    PlaySteadily(3);
    const uint32_t written = stream->BytesWritten();
    const uint32_t frames = stream->FramesWritten();
    const int32_t offset = stream->WriteOffset();

    state->cursor = (state->cursor + FRAME) % SIZE;
    state->failLock = true;
    EXPECT_FALSE(Feed(7));
    EXPECT_EQ(stream->QueuedFrames(), 0u); // the frame is gone
    EXPECT_EQ(stream->BytesWritten(), written);
    EXPECT_EQ(stream->FramesWritten(), frames);
    EXPECT_EQ(stream->WriteOffset(), offset);
    state->failLock = false;

    state->failUnlock = true;
    EXPECT_FALSE(Feed(8));
    EXPECT_EQ(stream->BytesWritten(), written);
    EXPECT_EQ(stream->FramesWritten(), frames);
    EXPECT_EQ(stream->WriteOffset(), offset);
    state->failUnlock = false;

    // The next frame goes where the lost one would have gone.
    ASSERT_TRUE(Feed(9));
    EXPECT_EQ(state->lockOffsets.back(), static_cast<uint32_t>(offset));
    EXPECT_TRUE(RegionHoldsFrame(static_cast<uint32_t>(offset), 9));
}

TEST_F(PlaybackAlgorithm, UnreadableCursorRestartsTheStream) {
    PlaySteadily(3);
    state->failPosition = true;
    ASSERT_TRUE(Feed(3));
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_EQ(stream->FramesWritten(), 1u);
    EXPECT_EQ(state->lockOffsets.back(), 0u);
}

TEST_F(PlaybackAlgorithm, FailedStartIsRetriedWithTheNextFrame) {
    state->failPlay = true;
    ASSERT_TRUE(Feed(0));
    EXPECT_FALSE(Feed(1)); // written, but not started
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_TRUE(RegionHoldsFrame(FRAME, 1));
    state->failPlay = false;
    ASSERT_TRUE(Feed(2));
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_EQ(stream->FramesWritten(), 3u);
}

TEST_F(PlaybackAlgorithm, RejectsWhatIsNotOneFrameForOneOfItsStreams) {
    const auto f = MakeFrame(0);
    EXPECT_FALSE(device.QueueFrame(stream, f.data(), FRAME - 1));
    EXPECT_FALSE(device.QueueFrame(stream, f.data(), FRAME + 1));
    EXPECT_FALSE(device.QueueFrame(stream, nullptr, FRAME));
    EXPECT_FALSE(device.QueueFrame(nullptr, f.data(), FRAME));
    EXPECT_EQ(stream->QueuedFrames(), 0u);
    EXPECT_TRUE(device.PlayQueued(stream)); // nothing queued is fine
    EXPECT_TRUE(state->lockOffsets.empty());

    // After Close the engine may still hold the old pointer; it must not be followed.
    CPlaybackStream* stale = stream;
    device.Close();
    EXPECT_TRUE(state->destroyed);
    EXPECT_FALSE(device.QueueFrame(stale, f.data(), FRAME));
    EXPECT_FALSE(device.PlayQueued(stale));
    device.CheckIdleStreams();
    device.Close(); // twice is fine
    EXPECT_EQ(device.CreateStream(), nullptr);
}

TEST(PlaybackDeviceOpen, FailuresLeaveNothingBehind) {
    auto state = std::make_shared<FakeBufferState>();
    CPlaybackDevice noDevice{
        [state](std::string*) { return std::make_unique<FakeAudioOutput>(state, true); }};
    EXPECT_FALSE(noDevice.Open());
    EXPECT_FALSE(noDevice.IsOpen());
    EXPECT_EQ(noDevice.LastError(), "no device");
    EXPECT_EQ(noDevice.CreateStream(), nullptr);

    CPlaybackDevice noFactory{[](std::string* error) {
        *error = "unknown audio output";
        return std::unique_ptr<AudioOutput>();
    }};
    EXPECT_FALSE(noFactory.Open());
    EXPECT_EQ(noFactory.LastError(), "unknown audio output");

    CPlaybackDevice noBuffer{
        [state](std::string*) { return std::make_unique<FakeAudioOutput>(state, false, true); }};
    ASSERT_TRUE(noBuffer.Open());
    EXPECT_EQ(noBuffer.CreateStream(), nullptr);
    noBuffer.Close();
    noBuffer.Close();

    // Opening twice starts afresh: the first stream is released.
    CPlaybackDevice twice{
        [state](std::string*) { return std::make_unique<FakeAudioOutput>(state); }};
    ASSERT_TRUE(twice.Open());
    CPlaybackStream* first = twice.CreateStream();
    ASSERT_NE(first, nullptr);
    state->destroyed = false;
    ASSERT_TRUE(twice.Open());
    EXPECT_TRUE(state->destroyed);
    const auto f = MakeFrame(0);
    EXPECT_FALSE(twice.QueueFrame(first, f.data(), FRAME));
}

} // namespace
