// SPDX-License-Identifier: GPL-3.0-or-later
// The output layer: looping buffer regions, mixing, the null backend, device loss, the factory.
#include "AlsaAudioOutput.h"
#include "AudioOutputFactory.h"
#include "AudioOutputMixer.h"
#include "AudioOutputRing.h"
#include "NullAudioOutput.h"
#include "WaitFor.h"
#include "WavFileAudioOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

void Fill(AudioOutputRing& ring, std::initializer_list<int16_t> samples) {
    uint8_t* r1 = nullptr;
    uint8_t* r2 = nullptr;
    uint32_t l1 = 0;
    uint32_t l2 = 0;
    const auto bytes = static_cast<uint32_t>(samples.size() * 2);
    ASSERT_TRUE(ring.Lock(0, bytes, &r1, &l1, &r2, &l2));
    std::memcpy(r1, samples.begin(), bytes);
    ASSERT_TRUE(ring.Unlock(r1, l1, r2, l2));
}

std::vector<int16_t> Render(AudioOutputMixer& mixer, size_t frames) {
    std::vector<int16_t> out(frames, 12345);
    mixer.Render(out.data(), frames, 8000);
    return out;
}

TEST(AudioOutputRing, LockWrapsIntoASecondRegionAndUnlockCommitsBoth) {
    auto mixer = std::make_shared<AudioOutputMixer>();
    auto owned = mixer->CreateRing(8); // four samples
    AudioOutputRing& ring = *owned;
    Fill(ring, {1, 2, 3, 4});

    uint8_t* r1 = nullptr;
    uint8_t* r2 = nullptr;
    uint32_t l1 = 0;
    uint32_t l2 = 0;
    ASSERT_TRUE(ring.Lock(6, 4, &r1, &l1, &r2, &l2));
    EXPECT_EQ(l1, 2u);
    EXPECT_EQ(l2, 2u);
    ASSERT_NE(r2, nullptr);
    int16_t seen = 0;
    std::memcpy(&seen, r1, 2);
    EXPECT_EQ(seen, 4); // the regions start out holding the buffer's content
    // One lock at a time.
    uint8_t* x1 = nullptr;
    uint8_t* x2 = nullptr;
    uint32_t y1 = 0;
    uint32_t y2 = 0;
    EXPECT_FALSE(ring.Lock(0, 2, &x1, &y1, &x2, &y2));

    const int16_t a = 40;
    const int16_t b = 10;
    std::memcpy(r1, &a, 2);
    std::memcpy(r2, &b, 2);
    ASSERT_TRUE(ring.Unlock(r1, l1, r2, l2));

    ASSERT_TRUE(ring.Play());
    EXPECT_EQ(Render(*mixer, 6), (std::vector<int16_t>{10, 2, 3, 40, 10, 2}));
    uint32_t cursor = 0;
    ASSERT_TRUE(ring.GetCurrentPosition(&cursor));
    EXPECT_EQ(cursor, 4u); // six samples on a four-sample loop
}

TEST(AudioOutputRing, RejectsBadLocksAndForeignUnlocks) {
    auto mixer = std::make_shared<AudioOutputMixer>();
    auto owned = mixer->CreateRing(8);
    AudioOutputRing& ring = *owned;
    Fill(ring, {1, 2, 3, 4});
    uint8_t* r1 = nullptr;
    uint8_t* r2 = nullptr;
    uint32_t l1 = 0;
    uint32_t l2 = 0;
    EXPECT_FALSE(ring.Lock(8, 2, &r1, &l1, &r2, &l2));  // offset past the end
    EXPECT_FALSE(ring.Lock(0, 10, &r1, &l1, &r2, &l2)); // longer than the buffer
    EXPECT_FALSE(ring.Lock(0, 0, &r1, &l1, &r2, &l2));
    EXPECT_FALSE(ring.Unlock(r1, l1, r2, l2)); // nothing locked

    ASSERT_TRUE(ring.Lock(0, 4, &r1, &l1, &r2, &l2));
    std::memset(r1, 0x7F, l1);
    uint8_t other[4] = {};
    EXPECT_FALSE(ring.Unlock(other, l1, r2, l2)); // not what Lock handed out: nothing written
    ASSERT_TRUE(ring.Play());
    EXPECT_EQ(Render(*mixer, 4), (std::vector<int16_t>{1, 2, 3, 4}));
    // The failed unlock still ended the lock.
    EXPECT_TRUE(ring.Lock(0, 4, &r1, &l1, &r2, &l2));
}

TEST(AudioOutputRing, StoppedRingsHoldTheirCursorAndPlayingOnesAreSummedAndClipped) {
    auto mixer = std::make_shared<AudioOutputMixer>();
    auto a = mixer->CreateRing(8);
    auto ownedB = mixer->CreateRing(8);
    AudioOutputRing& b = *ownedB;
    Fill(*a, {30000, -30000, 100, 0});
    Fill(b, {30000, -30000, -50, 7});

    EXPECT_EQ(Render(*mixer, 2), (std::vector<int16_t>{0, 0})); // nothing plays: silence
    ASSERT_TRUE(b.SetCurrentPosition(3));                       // odd: rounded down to a sample
    uint32_t cursor = 0;
    ASSERT_TRUE(b.GetCurrentPosition(&cursor));
    EXPECT_EQ(cursor, 2u);
    EXPECT_FALSE(b.SetCurrentPosition(8));
    ASSERT_TRUE(b.SetCurrentPosition(0));

    ASSERT_TRUE(a->Play());
    ASSERT_TRUE(b.Play());
    EXPECT_EQ(Render(*mixer, 4), (std::vector<int16_t>{32767, -32768, 50, 7}));

    ASSERT_TRUE(a->Stop());
    EXPECT_FALSE(a->IsPlaying());
    ASSERT_TRUE(a->GetCurrentPosition(&cursor));
    EXPECT_EQ(Render(*mixer, 1), (std::vector<int16_t>{30000}));
    uint32_t after = 0;
    ASSERT_TRUE(a->GetCurrentPosition(&after));
    EXPECT_EQ(after, cursor);

    a.reset(); // a destroyed ring leaves the mix
    EXPECT_EQ(Render(*mixer, 1), (std::vector<int16_t>{-30000}));
}

TEST(NullAudioOutput, PlayingBuffersAdvanceInRealTimeStoppedOnesDoNot) {
    NullAudioOutput output;
    EXPECT_EQ(output.CreateBuffer(65280), nullptr); // not open
    ASSERT_TRUE(output.Open());
    EXPECT_TRUE(output.IsRunning());
    EXPECT_EQ(output.CreateBuffer(65281), nullptr); // not whole samples
    auto buffer = output.CreateBuffer(65280);
    ASSERT_NE(buffer, nullptr);

    uint32_t cursor = 0;
    ASSERT_TRUE(buffer->GetCurrentPosition(&cursor));
    EXPECT_EQ(cursor, 0u);
    ASSERT_TRUE(buffer->Play());
    ASSERT_TRUE(WaitForThreads([&] {
        buffer->GetCurrentPosition(&cursor);
        return cursor >= 1600; // 100 ms
    }));

    ASSERT_TRUE(buffer->Stop());
    uint32_t stopped = 0;
    ASSERT_TRUE(buffer->GetCurrentPosition(&stopped));
    const uint64_t streamed = output.FramesStreamed();
    ASSERT_TRUE(WaitForThreads([&] { return output.FramesStreamed() >= streamed + 800; }));
    ASSERT_TRUE(buffer->GetCurrentPosition(&cursor));
    EXPECT_EQ(cursor, stopped);

    output.Close();
    output.Close();
    EXPECT_FALSE(output.IsRunning());
    // A buffer that outlives its device stays usable, standing still.
    EXPECT_TRUE(buffer->Play());
}

// A backend whose device goes away after a few periods.
class VanishingOutput final : public AudioOutputStreamer {
public:
    explicit VanishingOutput(int periods) : m_periods(periods) {}
    ~VanishingOutput() override { Close(); }
    std::atomic<int> sinkCloses{0};

protected:
    bool OpenSink(std::string*) override { return true; }
    void CloseSink() override { ++sinkCloses; }
    long NextPeriod(std::string*) override { return WaitForClock(); }
    bool WritePeriod(const int16_t*, size_t, std::string* error) override {
        if (m_periods-- <= 0) {
            *error = "device unplugged";
            return false;
        }
        return true;
    }

private:
    int m_periods; // device thread only
};

TEST(AudioOutputStreamer, ALostDeviceEndsItsThreadAndStopsTheCursor) {
    VanishingOutput output(10);
    ASSERT_TRUE(output.Open());
    auto buffer = output.CreateBuffer(65280);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->Play());
    ASSERT_TRUE(WaitForThreads([&] { return !output.IsRunning(); }));
    EXPECT_EQ(output.LastError(), "device unplugged");

    uint32_t before = 0;
    ASSERT_TRUE(buffer->GetCurrentPosition(&before));
    EXPECT_GT(before, 0u);
    std::this_thread::sleep_for(60ms);
    uint32_t after = 0;
    ASSERT_TRUE(buffer->GetCurrentPosition(&after));
    EXPECT_EQ(after, before);

    output.Close();
    EXPECT_EQ(output.sinkCloses.load(), 1);
    output.Close();
    EXPECT_EQ(output.sinkCloses.load(), 1);
    // It can be opened again.
    EXPECT_TRUE(output.Open());
}

TEST(AudioOutputFactory, ReadsTheSetting) {
    std::string error;
    auto alsa = CreateAudioOutput("", &error);
    ASSERT_NE(dynamic_cast<AlsaAudioOutput*>(alsa.get()), nullptr);
    EXPECT_EQ(static_cast<AlsaAudioOutput*>(alsa.get())->Device(), "default");
    auto hw = CreateAudioOutput("alsa:hw:1,0", &error);
    ASSERT_NE(dynamic_cast<AlsaAudioOutput*>(hw.get()), nullptr);
    EXPECT_EQ(static_cast<AlsaAudioOutput*>(hw.get())->Device(), "hw:1,0");
    auto file = CreateAudioOutput("file:/tmp/heard.wav", &error);
    ASSERT_NE(dynamic_cast<WavFileAudioOutput*>(file.get()), nullptr);
    EXPECT_EQ(static_cast<WavFileAudioOutput*>(file.get())->Path(), "/tmp/heard.wav");
    EXPECT_NE(dynamic_cast<NullAudioOutput*>(CreateAudioOutput("null", &error).get()), nullptr);

    for (const char* bad : {"file:", "alsa:", "Pulse", "nul"}) {
        error.clear();
        EXPECT_EQ(CreateAudioOutput(bad, &error), nullptr) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

TEST(AudioOutputOpen, FailuresAreReportedNotHidden) {
    WavFileAudioOutput file("/nonexistent-folder/heard.wav");
    EXPECT_FALSE(file.Open());
    EXPECT_FALSE(file.IsRunning());
    EXPECT_NE(file.LastError().find("/nonexistent-folder/heard.wav"), std::string::npos);
    EXPECT_EQ(file.CreateBuffer(65280), nullptr);

    AlsaAudioOutput alsa("tessora_no_such_device");
    EXPECT_FALSE(alsa.Open());
    EXPECT_FALSE(alsa.LastError().empty());
    alsa.Close();
}

} // namespace
