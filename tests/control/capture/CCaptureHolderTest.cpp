// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the capture thread through its holder: WAV microphone, mute, stop, detector.
#include "CAudioSession.h"
#include "CCaptureHolder.h"
#include "CMicDeviceThread.h"
#include "CaptureTestSupport.h"
#include "GsmTestSupport.h"
#include "WavFileAudioInput.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace capturetest;
using gsmtest::TempDir;

namespace {

std::vector<std::vector<uint8_t>> SplitFrames(const std::vector<int16_t>& looped, size_t frames) {
    std::vector<std::vector<uint8_t>> out;
    for (size_t f = 0; f < frames; ++f) {
        std::vector<int16_t> frame(960);
        for (size_t i = 0; i < 960; ++i)
            frame[i] = looped[(f * 960 + i) % looped.size()];
        out.push_back(gsmtest::ToBytes(frame));
    }
    return out;
}

class CaptureFromWav : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_dir.Path().empty());
        // 2.5 frames of a speech-level sweep: the loop point falls inside a frame.
        m_signal = gsmtest::MakeSweep(2400, 8000, 200, 2000);
        m_wav = m_dir.File("mic.wav");
        ASSERT_TRUE(gsmtest::WritePcmWav(m_wav, m_signal));
        m_holder.SetInputFactory(
            [path = m_wav] { return std::make_unique<WavFileAudioInput>(path); });
    }

    TempDir m_dir;
    std::vector<int16_t> m_signal;
    std::string m_wav;
    RecordingSink m_sink;
    CAudioSession m_session;
    CCaptureHolder m_holder{m_session};
};

class CaptureScripted : public testing::Test {
protected:
    void SetUp() override {
        m_holder.SetInputFactory(
            [log = m_log] { return std::make_unique<ScriptedAudioInput>(log); });
        m_holder.SetRecalibrationPeriod(kHour); // the tests tick the detector by hand
    }
    // Hands over one buffer and waits until the capture thread has sent its frame.
    void SendFrame(const std::vector<uint8_t>& pcm) {
        const size_t before = m_sink.Count();
        ASSERT_TRUE(FillNext(*m_log, pcm));
        ASSERT_TRUE(m_sink.WaitForFrames(before + 1));
    }
    // Hands over one buffer and waits until it came back: true when its frame was sent,
    // false when the detector called it silent and detection dropped it.
    bool Passes(const std::vector<uint8_t>& pcm) {
        const size_t before = m_sink.Count();
        EXPECT_TRUE(FillNext(*m_log, pcm));
        EXPECT_TRUE(WaitForQueued(*m_log, 5));
        return m_sink.Count() > before;
    }
    static constexpr int kHour = 3600000;

    std::shared_ptr<ScriptedInputLog> m_log = std::make_shared<ScriptedInputLog>();
    RecordingSink m_sink;
    CAudioSession m_session;
    CCaptureHolder m_holder{m_session};
};

} // namespace

TEST(CaptureEcho, TheSwitchChoosesTheCancellerAndOffIsBitExact) {
    const struct {
        bool realDevice, cleaned;
        const char* echo;
    } cases[] = {{true, true, ""}, {true, false, "off"}, {false, false, ""}, {false, true, "on"}};
    const auto sent = SplitFrames(gsmtest::MakeSweep(4 * 960, 6000, 200, 3000), 4);
    const auto today = EncodeFresh(sent);
    for (const auto& c : cases) {
        auto log = std::make_shared<ScriptedInputLog>();
        log->realDevice = c.realDevice;
        RecordingSink sink;
        CAudioSession session;
        session.ApplyEnvironment("", "", c.echo);
        CCaptureHolder holder(session);
        holder.SetInputFactory([log] { return std::make_unique<ScriptedAudioInput>(log); });
        ASSERT_TRUE(holder.Start(&sink));
        for (const auto& pcm : sent)
            ASSERT_TRUE(FillNext(*log, pcm));
        ASSERT_TRUE(sink.WaitForFrames(sent.size()));
        holder.Stop();
        size_t same = 0;
        for (size_t k = 0; k < sent.size(); ++k)
            same += sink.Frames()[k].bytes == today[k] ? 1 : 0;
        EXPECT_EQ(same, c.cleaned ? 0u : sent.size()) << c.realDevice << " " << c.echo;
    }
}

TEST_F(CaptureFromWav, SendsTheFileAsEncodedFramesEvery120Ms) {
    const Clock::time_point started = Clock::now();
    ASSERT_TRUE(m_holder.Start(&m_sink));
    ASSERT_TRUE(m_sink.WaitForFrames(6));
    m_holder.Stop();

    const auto frames = m_sink.Frames();
    ASSERT_GE(frames.size(), 6u);
    const auto expected = EncodeFresh(SplitFrames(m_signal, frames.size()));
    CAcmCodec decoder;
    ASSERT_TRUE(decoder.Open(CAcmCodec::DIRECTION_DECODE));
    std::vector<int16_t> heard;
    for (size_t k = 0; k < frames.size(); ++k) {
        ASSERT_EQ(frames[k].bytes.size(), 195u);
        EXPECT_NE(frames[k].thread, std::this_thread::get_id());
        // One encoder stream from the file's first sample on, looping at its end.
        EXPECT_EQ(frames[k].bytes, expected[k]) << "frame " << k;
        EXPECT_GE(frames[k].arrived - started, (k + 1) * 120ms);
        std::vector<uint8_t> pcm(1920);
        ASSERT_TRUE(decoder.Convert(pcm.data(), frames[k].bytes.data()));
        const auto samples = gsmtest::ToSamples(pcm.data(), 1920);
        heard.insert(heard.end(), samples.begin(), samples.end());
    }
    std::vector<int16_t> spoken;
    for (size_t i = 0; i < heard.size(); ++i)
        spoken.push_back(m_signal[i % m_signal.size()]);
    int lag = 99;
    EXPECT_GT(gsmtest::BestCorrelation(spoken, heard, 200, &lag), 0.8);
    EXPECT_EQ(lag, 0);
}

TEST_F(CaptureFromWav, TheCaptureSettingChoosesTheMicrophone) {
    CAudioSession session;
    session.ApplyEnvironment("file:" + m_wav, "", "");
    CCaptureHolder holder(session);
    ASSERT_TRUE(holder.Start(&m_sink));
    EXPECT_TRUE(m_sink.WaitForFrames(2));
    holder.Stop();
    EXPECT_EQ(m_sink.Frames()[0].bytes, EncodeFresh(SplitFrames(m_signal, 1))[0]);
}

TEST_F(CaptureFromWav, MuteStopsDeliveryAndUnmuteResumesIt) {
    ASSERT_TRUE(m_holder.Start(&m_sink));
    ASSERT_TRUE(m_sink.WaitForFrames(2));
    ASSERT_TRUE(m_holder.SetMute(true));
    // A buffer already past the mute check may still arrive; after that, nothing.
    const size_t atMute = m_sink.Count();
    std::this_thread::sleep_for(400ms);
    const size_t settled = m_sink.Count();
    EXPECT_LE(settled, atMute + 1);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(m_sink.Count(), settled);

    ASSERT_TRUE(m_holder.SetMute(false));
    EXPECT_TRUE(m_sink.WaitForFrames(settled + 2));
    m_holder.Stop();
}

TEST_F(CaptureFromWav, StopEndsEverythingAndNothingArrivesAfterIt) {
    ASSERT_TRUE(m_holder.Start(&m_sink));
    EXPECT_TRUE(m_holder.IsRunning());
    ASSERT_TRUE(m_sink.WaitForFrames(2));
    m_holder.Stop();
    EXPECT_FALSE(m_holder.IsRunning());
    EXPECT_FALSE(m_holder.SetMute(true));
    const size_t atStop = m_sink.Count();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(m_sink.Count(), atStop);
    m_holder.Stop();
    m_holder.EnableDetection(10, 1000);
    m_holder.PostDetectorTick(6);

    // A new Start after Stop records again, from a new encoder stream.
    RecordingSink second;
    ASSERT_TRUE(m_holder.Start(&second));
    ASSERT_TRUE(second.WaitForFrames(1));
    EXPECT_EQ(second.Frames()[0].bytes, EncodeFresh(SplitFrames(m_signal, 1))[0]);
    m_holder.Stop();
}

TEST(CaptureStart, FailsWithoutAUsableMicrophoneAndStopStillEndsTheThread) {
    RecordingSink sink;
    for (const std::string setting : {"file:/nonexistent/tessora/mic.wav", "no-such-input"}) {
        CAudioSession session;
        session.ApplyEnvironment(setting, "", "");
        CCaptureHolder holder(session);
        EXPECT_FALSE(holder.Start(&sink)) << setting;
        // The thread runs on with the device closed until Stop.
        EXPECT_TRUE(holder.IsRunning());
        EXPECT_TRUE(holder.SetMute(true));
        holder.PostDetectorTick(7);
        holder.Stop();
        EXPECT_FALSE(holder.IsRunning());
        holder.Stop();
    }
    EXPECT_EQ(sink.Count(), 0u);

    CAudioSession session;
    CCaptureHolder never(session);
    never.Stop();
    EXPECT_FALSE(never.IsRunning());
    EXPECT_FALSE(never.SetMute(false));
}

TEST_F(CaptureScripted, StopClosesTheDeviceAndRequeuesNothingAfterTheClose) {
    ASSERT_TRUE(m_holder.Start(&m_sink));
    ASSERT_TRUE(WaitForQueued(*m_log, 5));
    {
        std::lock_guard lock(m_log->mutex);
        EXPECT_TRUE(m_log->started);
    }
    SendFrame(FrameOfLevel(100));
    m_holder.Stop();
    std::lock_guard lock(m_log->mutex);
    EXPECT_TRUE(m_log->reset);
    EXPECT_TRUE(m_log->closed);
    EXPECT_EQ(m_log->addsAfterReset, 0);
    EXPECT_EQ(m_sink.Count(), 1u);
}

TEST_F(CaptureScripted, MutedBuffersStillCirculateButSendNothing) {
    ASSERT_TRUE(m_holder.Start(&m_sink));
    SendFrame(FrameOfLevel(100));
    ASSERT_TRUE(m_holder.SetMute(true));
    for (int i = 0; i < 7; ++i)
        ASSERT_TRUE(FillNext(*m_log, FrameOfLevel(100))) << "buffer " << i << " did not come back";
    ASSERT_TRUE(WaitForQueued(*m_log, 5));
    EXPECT_EQ(m_sink.Count(), 1u);
    ASSERT_TRUE(m_holder.SetMute(false));
    SendFrame(FrameOfLevel(100));
    m_holder.Stop();
}

TEST_F(CaptureScripted, ShortBufferIsEncodedWholeWithItsTailSilenced) {
    ASSERT_TRUE(m_holder.Start(&m_sink));
    const std::vector<uint8_t> loud = FrameOfLevel(3000);
    SendFrame(loud);
    // Every buffer has held loud audio; a short one must not replay it.
    for (int i = 0; i < 4; ++i)
        SendFrame(loud);
    const size_t before = m_sink.Count();
    ASSERT_TRUE(FillNext(*m_log, loud, 1000));
    ASSERT_TRUE(m_sink.WaitForFrames(before + 1));
    m_holder.Stop();

    std::vector<uint8_t> shortFrame(1920, 0);
    std::copy(loud.begin(), loud.begin() + 1000, shortFrame.begin());
    const auto expected = EncodeFresh({loud, loud, loud, loud, loud, shortFrame});
    const auto frames = m_sink.Frames();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[5].bytes, expected[5]);
}

TEST_F(CaptureScripted, SilenceIsDroppedOnlyWhileDetectionIsOnAndTicksKeepOrderWithFrames) {
    ASSERT_TRUE(m_holder.Start(&m_sink));
    EXPECT_TRUE(Passes(FrameOfLevel(0)));
    m_holder.PostDetectorTick(6); // threshold 0 + 130 - 30 = 100
    m_holder.PostDetectorTick(7);
    m_holder.PostDetectorTick(7);
    EXPECT_TRUE(Passes(FrameOfLevel(99))); // silent, but detection is off: sent
    m_holder.EnableDetection(130, kHour);
    EXPECT_FALSE(Passes(FrameOfLevel(99)));
    m_holder.PostDetectorTick(6); // threshold 99 + 130 - 30 = 199
    // The loud frame that ends the silence is itself sent as voice.
    EXPECT_TRUE(Passes(FrameOfLevel(199)));
    m_holder.PostDetectorTick(7);
    EXPECT_TRUE(Passes(FrameOfLevel(10))); // the first silence period only marks it pending
    m_holder.PostDetectorTick(7);
    EXPECT_FALSE(Passes(FrameOfLevel(10)));

    // A lower sensitivity set from this thread applies at the next recalibration.
    m_holder.EnableDetection(0, kHour); // threshold 10 + 0 - 30 = -20: everything is loud
    m_holder.PostDetectorTick(6);
    EXPECT_TRUE(Passes(FrameOfLevel(0)));
    m_holder.DisableDetection();
    m_holder.Stop();
}

TEST_F(CaptureScripted, SilenceIsDeclaredWhileMutedAndTheSilencePeriodRunsOnItsOwn) {
    ASSERT_TRUE(m_holder.Start(&m_sink));
    m_holder.EnableDetection(130, kHour);
    SendFrame(FrameOfLevel(0));
    m_holder.PostDetectorTick(6); // threshold 100
    ASSERT_TRUE(m_holder.SetMute(true));
    m_holder.PostDetectorTick(7);
    // Loud audio while muted is not measured: it cannot restart the silence count.
    ASSERT_TRUE(FillNext(*m_log, FrameOfLevel(5000)));
    m_holder.PostDetectorTick(7);
    ASSERT_TRUE(WaitForQueued(*m_log, 5));
    ASSERT_TRUE(m_holder.SetMute(false));
    EXPECT_FALSE(Passes(FrameOfLevel(10)));
    EXPECT_TRUE(Passes(FrameOfLevel(500)));
    // The capture's own silence timer, at the period detection was enabled with: two of
    // its periods without a loud frame, and quiet frames stop.
    m_holder.EnableDetection(130, 50);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(Passes(FrameOfLevel(10)));
    m_holder.Stop();
    // The switch outlives a new start; the silence period does not.
    EXPECT_TRUE(m_holder.IsDetecting());
    ASSERT_TRUE(m_holder.Start(&m_sink));
    m_holder.PostDetectorTick(6);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(Passes(FrameOfLevel(10)));
    m_holder.Stop();
}

TEST(CaptureVanishingDevice, DeliveryEndsAndStopStillClosesCleanly) {
    RecordingSink sink;
    CAudioSession session;
    CCaptureHolder holder(session);
    holder.SetInputFactory([] { return std::make_unique<VanishingAudioInput>(3); });
    ASSERT_TRUE(holder.Start(&sink));
    ASSERT_TRUE(sink.WaitForFrames(3));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink.Count(), 3u);
    EXPECT_TRUE(holder.IsRunning());
    EXPECT_TRUE(holder.SetMute(false));
    holder.Stop();
    EXPECT_FALSE(holder.IsRunning());
}

TEST(CaptureScriptedStart, InputThatFailsToOpenLeavesNothingOpen) {
    auto log = std::make_shared<ScriptedInputLog>();
    log->failOpen = true;
    RecordingSink sink;
    CAudioSession session;
    CCaptureHolder holder(session);
    holder.SetInputFactory([log] { return std::make_unique<ScriptedAudioInput>(log); });
    EXPECT_FALSE(holder.Start(&sink));
    holder.Stop();
    std::lock_guard lock(log->mutex);
    EXPECT_FALSE(log->started);
    EXPECT_TRUE(log->queued.empty());
}
