// SPDX-License-Identifier: GPL-3.0-or-later
// Playback through the WAV file output: the file is a time line of what a listener hears.
#include "CAudioSession.h"
#include "CPlaybackDevice.h"
#include "CPlaybackStream.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int SAMPLES = 960; // one frame

// Deterministic noise: every frame differs, so a match can only be at its own place.
std::vector<int16_t> MakeSpeech(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * SAMPLES);
    uint32_t x = 12345;
    for (auto& s : out) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<int16_t>(static_cast<int32_t>(x >> 16) % 8000 - 4000);
    }
    return out;
}

struct Wav {
    SF_INFO info{};
    std::vector<int16_t> samples;
};

Wav ReadWav(const std::string& path) {
    Wav wav;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &wav.info);
    if (f == nullptr) {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
        return wav;
    }
    wav.samples.resize(static_cast<size_t>(wav.info.frames));
    const sf_count_t got = sf_read_short(f, wav.samples.data(), wav.info.frames);
    EXPECT_EQ(got, wav.info.frames);
    sf_close(f);
    return wav;
}

// The lag at which `needle` correlates best with `haystack`, normalised per lag.
size_t BestLag(const std::vector<int16_t>& haystack, const int16_t* needle, size_t n) {
    double best = -1;
    size_t bestLag = 0;
    for (size_t lag = 0; lag + n <= haystack.size(); ++lag) {
        double dot = 0;
        double energy = 1e-9;
        for (size_t i = 0; i < n; ++i) {
            dot += double(haystack[lag + i]) * needle[i];
            energy += double(haystack[lag + i]) * haystack[lag + i];
        }
        const double score = dot / std::sqrt(energy);
        if (score > best) {
            best = score;
            bestLag = lag;
        }
    }
    return bestLag;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

TEST(WavPlayback, TheFileHoldsTheFramesWhereTheyWereHeardWithSilenceAround) {
    const std::string path =
        ::testing::TempDir() + "tessora-heard-" + std::to_string(getpid()) + ".wav";
    constexpr int FRAMES = 16;
    const std::vector<int16_t> speech = MakeSpeech(FRAMES);

    CAudioSession session;
    session.ApplyEnvironment("", "file:" + path, "");
    CPlaybackDevice device(session);
    const auto openBefore = Clock::now();
    ASSERT_TRUE(device.Open()) << device.LastError();
    const auto openAfter = Clock::now();
    CPlaybackStream* stream = device.CreateStream();
    ASSERT_NE(stream, nullptr);

    // A listener first hears 300 ms of nothing; then frames arrive every 120 ms, the
    // idle check runs every second as the engine's timer would, and the line goes quiet.
    const auto start = openAfter + 300ms;
    Clock::time_point playBefore;
    Clock::time_point playAfter;
    int nextCheck = 1;
    for (int k = 0; k < FRAMES; ++k) {
        std::this_thread::sleep_until(start + k * 120ms);
        if (start + nextCheck * 1000ms <= Clock::now()) {
            device.CheckIdleStreams();
            ++nextCheck;
        }
        if (k == 1) {
            playBefore = Clock::now();
        }
        ASSERT_TRUE(device.QueueFrame(
            stream, reinterpret_cast<const uint8_t*>(&speech[k * SAMPLES]), SAMPLES * 2));
        ASSERT_TRUE(device.PlayQueued(stream));
        if (k == 1) {
            playAfter = Clock::now();
            ASSERT_TRUE(stream->IsPlaying());
        }
    }
    const uint32_t resetsWhilePlaying = stream->ResetCount();
    for (; nextCheck <= 3; ++nextCheck) {
        std::this_thread::sleep_until(start + nextCheck * 1000ms);
        device.CheckIdleStreams();
    }
    EXPECT_FALSE(stream->IsPlaying()); // the idle check stopped it
    std::this_thread::sleep_until(start + 3300ms);
    const auto closeBefore = Clock::now();
    device.Close();
    const auto closeAfter = Clock::now();
    // One reset at creation; any other means the frames were not played in one run.
    ASSERT_EQ(resetsWhilePlaying, 1u);

    const Wav wav = ReadWav(path);
    EXPECT_EQ(wav.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(wav.info.samplerate, 8000);
    EXPECT_EQ(wav.info.channels, 1);
    // Every moment between Open and Close is in the file, once.
    const double length = static_cast<double>(wav.samples.size()) / 8000;
    EXPECT_LE(length, Seconds(closeAfter - openBefore) + 0.001);
    EXPECT_GE(length, Seconds(closeBefore - openAfter) - 0.05);

    const size_t at = BestLag(wav.samples, speech.data(), SAMPLES);
    ASSERT_LE(at + speech.size(), wav.samples.size());
    for (int k = 0; k < FRAMES; ++k) {
        EXPECT_EQ(std::memcmp(&wav.samples[at + k * SAMPLES], &speech[k * SAMPLES], SAMPLES * 2), 0)
            << "frame " << k << " is not where it belongs";
    }
    for (size_t i = 0; i < at; ++i) {
        ASSERT_EQ(wav.samples[i], 0) << "sound before the first frame at sample " << i;
    }
    for (size_t i = at + speech.size(); i < wav.samples.size(); ++i) {
        ASSERT_EQ(wav.samples[i], 0) << "sound after the last frame at sample " << i;
    }
    // Playback began when the second frame was written (within a period or so).
    const double began = static_cast<double>(at) / 8000;
    EXPECT_GE(began, Seconds(playBefore - openAfter) - 0.25);
    EXPECT_LE(began, Seconds(playAfter - openBefore) + 0.25);
    std::remove(path.c_str());
}

TEST(WavPlayback, AnUnwritableFileFailsOpen) {
    CAudioSession session;
    session.ApplyEnvironment("", "file:/nonexistent-folder/heard.wav", "");
    CPlaybackDevice device(session);
    EXPECT_FALSE(device.Open());
    EXPECT_NE(device.LastError().find("/nonexistent-folder/heard.wav"), std::string::npos);
    EXPECT_EQ(device.CreateStream(), nullptr);
    session.ApplyEnvironment("", "speakers", "");
    EXPECT_FALSE(device.Open());
    EXPECT_NE(device.LastError().find("speakers"), std::string::npos);
}

} // namespace
