// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the capture inputs: choice by setting, the WAV file input, silence, and device failure.
#include "CaptureTestSupport.h"
#include "GsmTestSupport.h"
#include "AlsaAudioInput.h"
#include "PulseAudioInput.h"
#include "AudioInputBase.h"
#include "AudioInputFactory.h"
#include "SilenceAudioInput.h"
#include "WaitFor.h"
#include "WavFileAudioInput.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <array>
#include <cstdlib>
#include <fstream>

using namespace capturetest;
using gsmtest::TempDir;

namespace {

using Buffers = std::array<std::array<uint8_t, 1920>, 5>;

void QueueAll(AudioInput& input, Buffers& buffers) {
    for (auto& buffer : buffers)
        ASSERT_TRUE(input.AddBuffer(buffer.data(), 1920));
}

std::vector<int16_t> Ramp(int samples) {
    std::vector<int16_t> ramp(static_cast<size_t>(samples));
    for (int i = 0; i < samples; ++i)
        ramp[static_cast<size_t>(i)] = static_cast<int16_t>(i * 7 - 10000);
    return ramp;
}

} // namespace

TEST(AudioInputFactory, ChoosesTheInputBySetting) {
    EXPECT_NE(dynamic_cast<SilenceAudioInput*>(CreateAudioInput("silence").get()), nullptr);
    EXPECT_NE(dynamic_cast<AlsaAudioInput*>(CreateAudioInput("alsa").get()), nullptr);
    EXPECT_NE(dynamic_cast<AlsaAudioInput*>(CreateAudioInput("alsa:hw:3,0").get()), nullptr);
    EXPECT_NE(dynamic_cast<WavFileAudioInput*>(CreateAudioInput("file:/tmp/x.wav").get()), nullptr);
    EXPECT_NE(dynamic_cast<PulseAudioInput*>(CreateAudioInput("pulse:vsrc").get()), nullptr);
    for (const char* bad : {"", "file:", "alsa:", "Silence", "Pulse:x", "wav:/tmp/x.wav"})
        EXPECT_EQ(CreateAudioInput(bad), nullptr) << bad;

    // The default is a device (the server's, else ALSA's), wrapped for the level meter.
    EXPECT_TRUE(CreateChosenAudioInput("")->IsRealDevice());
    EXPECT_FALSE(CreateChosenAudioInput("silence")->IsRealDevice());
}

TEST(WavFileAudioInput, RefusesFilesItCannotPlayAsTheMicrophone) {
    TempDir dir;
    BufferLog log;
    EXPECT_FALSE(WavFileAudioInput(dir.File("missing.wav")).Open(log.Callback()));

    ASSERT_TRUE(gsmtest::WritePcmWav(dir.File("16k.wav"), Ramp(1600), 16000));
    EXPECT_FALSE(WavFileAudioInput(dir.File("16k.wav")).Open(log.Callback()));

    ASSERT_TRUE(gsmtest::WritePcmWav(dir.File("empty.wav"), {}, 8000));
    EXPECT_FALSE(WavFileAudioInput(dir.File("empty.wav")).Open(log.Callback()));

    std::ofstream(dir.File("text.wav")) << "not a sound file at all";
    EXPECT_FALSE(WavFileAudioInput(dir.File("text.wav")).Open(log.Callback()));

    WavFileAudioInput closed(dir.File("missing.wav"));
    uint8_t buffer[1920];
    EXPECT_FALSE(closed.AddBuffer(buffer, 1920));
    EXPECT_FALSE(closed.Start());
    closed.Close();
    closed.Close();
}

TEST(WavFileAudioInput, PlaysTheFileInOrderLoopingAtItsEndInRealTime) {
    TempDir dir;
    // 2.5 buffers long, so the loop point falls inside a buffer.
    const std::vector<int16_t> ramp = Ramp(2400);
    ASSERT_TRUE(gsmtest::WritePcmWav(dir.File("ramp.wav"), ramp));
    WavFileAudioInput input(dir.File("ramp.wav"));
    BufferLog log;
    ASSERT_TRUE(input.Open(log.Callback()));
    Buffers buffers{};
    QueueAll(input, buffers);
    const Clock::time_point started = Clock::now();
    ASSERT_TRUE(input.Start());
    ASSERT_TRUE(log.WaitFor(5));
    input.Reset();
    input.Close();

    const auto entries = log.Entries();
    ASSERT_GE(entries.size(), 5u);
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(entries[k].buffer, buffers[k].data());
        ASSERT_EQ(entries[k].bytes, 1920);
        const std::vector<int16_t> got = gsmtest::ToSamples(entries[k].data.data(), 1920);
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], ramp[(k * 960 + i) % ramp.size()])
                << "buffer " << k << " sample " << i;
        // Never ahead of real time: buffer k is due 120 ms after buffer k-1.
        EXPECT_GE(entries[k].arrived - started, (k + 1) * 120ms);
    }
}

TEST(WavFileAudioInput, ReadsOtherSampleFormatsAndMixesChannelsDown) {
    TempDir dir;
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(dir.File("stereo.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> frames;
    for (int i = 0; i < 960; ++i) {
        frames.push_back(0.25f);
        frames.push_back(-0.125f);
    }
    sf_writef_float(file, frames.data(), 960);
    sf_close(file);

    WavFileAudioInput input(dir.File("stereo.wav"));
    BufferLog log;
    ASSERT_TRUE(input.Open(log.Callback()));
    Buffers buffers{};
    ASSERT_TRUE(input.AddBuffer(buffers[0].data(), 1920));
    ASSERT_TRUE(input.Start());
    ASSERT_TRUE(log.WaitFor(1));
    input.Close();
    const std::vector<int16_t> got = gsmtest::ToSamples(log.Entries()[0].data.data(), 1920);
    // (0.25 - 0.125) / 2 of full scale.
    for (int16_t sample : got)
        ASSERT_NEAR(sample, 2048, 1);
}

TEST(SilenceAudioInput, RecordsZerosAndResetHandsBackWhatIsQueued) {
    SilenceAudioInput input;
    BufferLog log;
    ASSERT_TRUE(input.Open(log.Callback()));
    Buffers buffers{};
    for (auto& buffer : buffers)
        buffer.fill(0x55);
    QueueAll(input, buffers);
    const Clock::time_point started = Clock::now();
    ASSERT_TRUE(input.Start());
    ASSERT_TRUE(log.WaitFor(2));
    input.Reset();
    const size_t afterReset = log.Count();
    // Reset returned every buffer still queued, unfilled.
    EXPECT_EQ(afterReset, 5u);
    const auto entries = log.Entries();
    int filled = 0;
    for (const auto& entry : entries) {
        if (entry.bytes == 1920) {
            ++filled;
            EXPECT_TRUE(std::all_of(entry.data.begin(), entry.data.end(),
                                    [](uint8_t b) { return b == 0; }));
            EXPECT_GE(entry.arrived - started, filled * 120ms);
        } else {
            EXPECT_EQ(entry.bytes, 0);
        }
    }
    EXPECT_GE(filled, 2);
    // Nothing arrives after Reset, even with a new buffer queued, until the next Start.
    ASSERT_TRUE(input.AddBuffer(buffers[0].data(), 1920));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(log.Count(), afterReset);
    ASSERT_TRUE(input.Start());
    EXPECT_TRUE(log.WaitFor(afterReset + 1));
    input.Close();
    input.Close();
}

TEST(AudioInputBase, DeviceThatDisappearsStopsRecordingCleanly) {
    VanishingAudioInput input(2);
    BufferLog log;
    ASSERT_TRUE(input.Open(log.Callback()));
    Buffers buffers{};
    QueueAll(input, buffers);
    ASSERT_TRUE(input.Start());
    ASSERT_TRUE(log.WaitFor(2));
    // The device thread ends by itself at the third buffer.
    ASSERT_TRUE(WaitForThreads([&] { return input.DeviceFailed(); }));
    EXPECT_EQ(log.Count(), 2u);
    EXPECT_FALSE(input.Start());
    // The three buffers never filled come back on Reset.
    input.Reset();
    const auto entries = log.Entries();
    ASSERT_EQ(entries.size(), 5u);
    for (size_t k = 2; k < 5; ++k) {
        EXPECT_EQ(entries[k].bytes, 0);
        EXPECT_EQ(entries[k].buffer, buffers[k].data());
    }
    input.Close();
}

TEST(AlsaAudioInput, DeviceThatDoesNotExistFailsToOpen) {
    AlsaAudioInput input("tessora_no_such_pcm");
    BufferLog log;
    EXPECT_FALSE(input.Open(log.Callback()));
    EXPECT_FALSE(input.IsOpen());
    input.Close();
}
