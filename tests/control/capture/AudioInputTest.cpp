// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the capture inputs: choice by setting, the WAV file input, silence, and device failure.
#include "CaptureTestSupport.h"
#include "GsmTestSupport.h"
#include "AlsaAudioInput.h"
#include "AudioInputFactory.h"
#include "CAudioSession.h"
#include "PulseAudioInput.h"
#include "AudioInputBase.h"
#include "SilenceAudioInput.h"
#include "WaitFor.h"
#include "WavFileAudioInput.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
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
    CAudioSession session;
    EXPECT_TRUE(CreateSessionAudioInput(session)->IsRealDevice());
    session.ApplyEnvironment("silence", "", "");
    EXPECT_FALSE(CreateSessionAudioInput(session)->IsRealDevice());
}

TEST(WavFileAudioInput, RefusesFilesItCannotPlayAndSaysWhy) {
    TempDir dir;
    BufferLog log;
    ASSERT_TRUE(gsmtest::WritePcmWav(dir.File("empty.wav"), {}, 8000));
    std::ofstream(dir.File("text.wav")) << "not a sound file at all";
    for (const char* name : {"missing.wav", "empty.wav", "text.wav"}) {
        WavFileAudioInput input(dir.File(name));
        EXPECT_FALSE(input.Open(log.Callback())) << name;
        EXPECT_NE(input.LastError().find(dir.File(name)), std::string::npos) << input.LastError();
    }
    WavFileAudioInput closed(dir.File("missing.wav"));
    uint8_t buffer[1920];
    EXPECT_FALSE(closed.AddBuffer(buffer, 1920));
    EXPECT_FALSE(closed.Start());
    closed.Close();
    closed.Close();
}

TEST(WavFileAudioInput, TakesAFileOfAnyRateAndChannelsAtTheCallsRate) {
    // A 1 kHz tone at -12 dBFS in files of 8, 16, 44.1 and 48 kHz (stereo at 48 kHz), read
    // as a narrowband and as a wideband call's microphone: the same tone at the call's rate.
    TempDir dir;
    for (const int fileRate : {8000, 16000, 44100, 48000}) {
        const int channels = fileRate == 48000 ? 2 : 1;
        std::vector<int16_t> tone(static_cast<size_t>(fileRate) * channels);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<int16_t>(8192 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(i / channels) / fileRate));
        const std::string path = dir.File("tone" + std::to_string(fileRate) + ".wav");
        SF_INFO info{fileRate, fileRate, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(file, nullptr);
        sf_write_short(file, tone.data(), static_cast<sf_count_t>(tone.size()));
        sf_close(file);
        for (const int rate : {8000, 16000}) {
            SCOPED_TRACE(testing::Message() << fileRate << " Hz file at " << rate << " Hz");
            WavFileAudioInput input(path);
            ASSERT_TRUE(input.SetSampleRate(rate));
            BufferLog log;
            ASSERT_TRUE(input.Open(log.Callback()));
            Buffers buffers{};
            QueueAll(input, buffers); // 120 ms at 8 kHz, 60 ms at 16 kHz each
            ASSERT_TRUE(input.Start());
            ASSERT_TRUE(log.WaitFor(3));
            input.Reset();
            input.Close();
            // The second buffer, past any start-up of the filter: rising zero crossings
            // give the pitch, the peak the level.
            const auto pcm = gsmtest::ToSamples(log.Entries()[1].data.data(), 1920);
            int rising = 0, peak = 0;
            for (size_t i = 1; i < pcm.size(); ++i) {
                rising += pcm[i - 1] < 0 && pcm[i] >= 0 ? 1 : 0;
                peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
            }
            EXPECT_NEAR(rising, 1000.0 * 960 / rate, 2);
            EXPECT_NEAR(peak, 8192, 600);
        }
    }
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
