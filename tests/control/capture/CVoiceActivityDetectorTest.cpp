// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the voice activity detector with scripted frames and ticks.
#include "CVoiceActivityDetector.h"
#include "CaptureTestSupport.h"

#include <gtest/gtest.h>

using capturetest::FrameOfLevel;

namespace {

constexpr int RECALIBRATE = CVoiceActivityDetector::TICK_RECALIBRATE;
constexpr int SILENCE = CVoiceActivityDetector::TICK_SILENCE;

std::vector<uint8_t> FrameOfSamples(const std::vector<std::pair<int, int16_t>>& samples) {
    std::vector<uint8_t> pcm(1920, 0);
    for (const auto& [index, value] : samples) {
        pcm[2 * index] = static_cast<uint8_t>(static_cast<uint16_t>(value) & 0xFF);
        pcm[2 * index + 1] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
    }
    return pcm;
}

void DeclareSilence(CVoiceActivityDetector& detector) {
    detector.Tick(SILENCE);
    detector.Tick(SILENCE);
    ASSERT_EQ(detector.Silent(), 1);
}

} // namespace

TEST(CVoiceActivityDetector, LevelIsTheSumOfPositiveSamplesOverAllSamples) {
    CVoiceActivityDetector detector;
    detector.UpdateFrame(FrameOfLevel(500).data());
    EXPECT_EQ(detector.Level(), 500);

    // Negative samples count as nothing; the divisor stays 960 and the division truncates.
    detector.UpdateFrame(FrameOfSamples({{0, 959}, {1, -32768}, {2, -5}}).data());
    EXPECT_EQ(detector.Level(), 0);
    detector.UpdateFrame(FrameOfSamples({{0, 960}, {1, 961}, {959, -1}}).data());
    EXPECT_EQ(detector.Level(), 2);

    // Full scale everywhere must not overflow.
    std::vector<uint8_t> loud(1920);
    for (size_t i = 0; i < loud.size(); i += 2) {
        loud[i] = 0xFF;
        loud[i + 1] = 0x7F;
    }
    detector.UpdateFrame(loud.data());
    EXPECT_EQ(detector.Level(), 32767);
}

TEST(CVoiceActivityDetector, EveryFrameIsVoiceBeforeTheFirstRecalibration) {
    CVoiceActivityDetector detector;
    EXPECT_EQ(detector.Sensitivity(), 130);
    EXPECT_EQ(detector.Threshold(), 0);
    DeclareSilence(detector);
    // Even a frame of pure silence reaches the threshold of 0.
    detector.UpdateFrame(FrameOfLevel(0).data());
    EXPECT_EQ(detector.Silent(), 0);
    EXPECT_EQ(detector.SilencePending(), 0);
}

TEST(CVoiceActivityDetector, SilenceIsDeclaredAtTheSecondTickWithoutVoice) {
    CVoiceActivityDetector detector;
    detector.UpdateFrame(FrameOfLevel(200).data());
    detector.Tick(RECALIBRATE);
    EXPECT_EQ(detector.Threshold(), 300);

    detector.Tick(SILENCE);
    EXPECT_EQ(detector.SilencePending(), 1);
    EXPECT_EQ(detector.Silent(), 0);
    // A loud frame while pending restarts the count.
    detector.UpdateFrame(FrameOfLevel(300).data());
    EXPECT_EQ(detector.SilencePending(), 0);
    detector.Tick(SILENCE);
    EXPECT_EQ(detector.Silent(), 0);
    detector.UpdateFrame(FrameOfLevel(299).data());
    detector.Tick(SILENCE);
    EXPECT_EQ(detector.Silent(), 1);

    // Quiet frames leave it silent; the first frame at the threshold ends the silence.
    detector.UpdateFrame(FrameOfLevel(299).data());
    EXPECT_EQ(detector.Silent(), 1);
    detector.UpdateFrame(FrameOfLevel(300).data());
    EXPECT_EQ(detector.Silent(), 0);
    EXPECT_EQ(detector.SilencePending(), 0);
}

TEST(CVoiceActivityDetector, SteadyInputTurnsToSilenceAfterRecalibrationWithDefaultSensitivity) {
    CVoiceActivityDetector detector;
    detector.UpdateFrame(FrameOfLevel(1000).data());
    detector.Tick(RECALIBRATE);
    EXPECT_EQ(detector.Threshold(), 1100);
    DeclareSilence(detector);
    detector.UpdateFrame(FrameOfLevel(1000).data());
    EXPECT_EQ(detector.Silent(), 1);
    detector.UpdateFrame(FrameOfLevel(1099).data());
    EXPECT_EQ(detector.Silent(), 1);
    detector.UpdateFrame(FrameOfLevel(1100).data());
    EXPECT_EQ(detector.Silent(), 0);
}

TEST(CVoiceActivityDetector, SensitivityBoundsSetTheThresholdAroundTheLastLevel) {
    CVoiceActivityDetector detector;
    detector.SetSensitivity(0);
    detector.UpdateFrame(FrameOfLevel(1000).data());
    detector.Tick(RECALIBRATE);
    EXPECT_EQ(detector.Threshold(), 970);
    DeclareSilence(detector);
    // Below the last level: a steady input keeps counting as voice.
    detector.UpdateFrame(FrameOfLevel(1000).data());
    EXPECT_EQ(detector.Silent(), 0);

    // The new sensitivity is taken at the next recalibration, from the latest level.
    detector.SetSensitivity(255);
    EXPECT_EQ(detector.Threshold(), 970);
    detector.Tick(RECALIBRATE);
    EXPECT_EQ(detector.Threshold(), 1225);
    DeclareSilence(detector);
    detector.UpdateFrame(FrameOfLevel(1224).data());
    EXPECT_EQ(detector.Silent(), 1);
    detector.UpdateFrame(FrameOfLevel(1225).data());
    EXPECT_EQ(detector.Silent(), 0);
}

TEST(CVoiceActivityDetector, OtherTickKindsChangeNothing) {
    CVoiceActivityDetector detector;
    detector.UpdateFrame(FrameOfLevel(100).data());
    for (int kind : {0, 5, 8, -6, 2027})
        detector.Tick(kind);
    EXPECT_EQ(detector.Threshold(), 0);
    EXPECT_EQ(detector.SilencePending(), 0);
    EXPECT_EQ(detector.Silent(), 0);
}
