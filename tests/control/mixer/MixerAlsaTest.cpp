// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the mixer methods on the real ALSA simple mixer (PulseAudio's, in CI).
#include "MixerControl.h"
#include "CAlsaMixerDevice.h"
#include "MixerElementNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The ALSA mixer of the default control device, as the control uses it.
MixerOpener Alsa() {
    return AlsaMixerOpener({});
}

constexpr int32_t kUntouched = 4242;

class AlsaMixer : public ::testing::Test {
protected:
    void SetUp() override {
        mixer = CAlsaMixerDevice::Open(CAlsaMixerDevice::DeviceName());
        if (!mixer) {
            GTEST_SKIP() << "no ALSA mixer on " << CAlsaMixerDevice::DeviceName();
        }
        speaker = FindSpeakerElement(mixer->Elements());
        mic = FindMicElement(mixer->Elements());
        ASSERT_GE(speaker, 0) << "the mixer has no speaker volume element";
        ASSERT_GE(mic, 0) << "the mixer has no microphone volume element";
        ASSERT_TRUE(mixer->GetVolume(speaker, MixerDirection::Playback, savedSpeaker));
        ASSERT_TRUE(mixer->GetVolume(mic, MixerDirection::Capture, savedMic));
        saved = true;
    }
    void TearDown() override {
        if (saved) {
            EXPECT_TRUE(mixer->SetVolume(speaker, MixerDirection::Playback, savedSpeaker));
            EXPECT_TRUE(mixer->SetVolume(mic, MixerDirection::Capture, savedMic));
            EXPECT_EQ(Raw(speaker, MixerDirection::Playback), savedSpeaker);
            EXPECT_EQ(Raw(mic, MixerDirection::Capture), savedMic);
        }
    }

    long Raw(int element, MixerDirection dir) {
        // A fresh handle: the one from SetUp may hold cached values.
        auto fresh = CAlsaMixerDevice::Open(CAlsaMixerDevice::DeviceName());
        long value = -1;
        EXPECT_TRUE(fresh && fresh->GetVolume(element, dir, value));
        return value;
    }

    std::unique_ptr<CAlsaMixerDevice> mixer;
    int speaker = -1;
    int mic = -1;
    long savedSpeaker = 0;
    long savedMic = 0;
    bool saved = false;
    int32_t error = kUntouched;
};

TEST_F(AlsaMixer, SpeakerAndMicrophoneRoundTrip) {
    for (int32_t v : {0, 1, 128, 255, 77}) {
        SCOPED_TRACE(v);
        ASSERT_TRUE(MixerSetSpkVolume(v, &error, Alsa()));
        EXPECT_EQ(MixerGetSpkVolume(&error, Alsa()), v);
        ASSERT_TRUE(MixerSetMicVolume(v, &error, Alsa()));
        EXPECT_EQ(MixerGetMicVolume(&error, Alsa()), v);
    }
    EXPECT_EQ(error, kUntouched);
}

TEST_F(AlsaMixer, EveryStepRoundTripsOnTheSpeaker) {
    for (int32_t v = 0; v <= 255; ++v) {
        ASSERT_TRUE(MixerSetSpkVolume(v, &error, Alsa()));
        ASSERT_EQ(MixerGetSpkVolume(&error, Alsa()), v);
    }
}

TEST_F(AlsaMixer, ExtremesReachTheEndsOfTheElementRange) {
    long min = 0;
    long max = 0;
    ASSERT_TRUE(mixer->GetVolumeRange(speaker, MixerDirection::Playback, min, max));
    ASSERT_TRUE(MixerSetSpkVolume(0, &error, Alsa()));
    EXPECT_EQ(Raw(speaker, MixerDirection::Playback), min);
    ASSERT_TRUE(MixerSetSpkVolume(255, &error, Alsa()));
    // 255 stands for 65280 of 65535: just short of the top.
    const long top = Raw(speaker, MixerDirection::Playback);
    EXPECT_GE(top, max - (max - min) / 200);
    EXPECT_LE(top, max);
}

TEST_F(AlsaMixer, SpeakerTakesOutOfRangeValuesAsFullScale) {
    for (int32_t v : {300, -5, 1000, -1}) {
        SCOPED_TRACE(v);
        ASSERT_TRUE(MixerSetSpkVolume(10, &error, Alsa()));
        ASSERT_TRUE(MixerSetSpkVolume(v, &error, Alsa()));
        EXPECT_EQ(MixerGetSpkVolume(&error, Alsa()), 255);
    }
    EXPECT_EQ(error, kUntouched);
}

TEST_F(AlsaMixer, MicrophoneKeepsTheLowEightBits) {
    ASSERT_TRUE(MixerSetMicVolume(300, &error, Alsa()));
    EXPECT_EQ(MixerGetMicVolume(&error, Alsa()), 44);
    ASSERT_TRUE(MixerSetMicVolume(256, &error, Alsa()));
    EXPECT_EQ(MixerGetMicVolume(&error, Alsa()), 0);
    ASSERT_TRUE(MixerSetMicVolume(-1, &error, Alsa()));
    EXPECT_EQ(MixerGetMicVolume(&error, Alsa()), 255);
    ASSERT_TRUE(MixerSetMicVolume(-5, &error, Alsa()));
    EXPECT_EQ(MixerGetMicVolume(&error, Alsa()), 251);
    EXPECT_EQ(error, kUntouched);
}

TEST_F(AlsaMixer, ChangesMadeByAnotherHandleAreSeenAtOnce) {
    ASSERT_TRUE(MixerSetSpkVolume(200, &error, Alsa()));
    long min = 0;
    long max = 0;
    ASSERT_TRUE(mixer->GetVolumeRange(speaker, MixerDirection::Playback, min, max));
    auto other = CAlsaMixerDevice::Open(CAlsaMixerDevice::DeviceName());
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->SetVolume(speaker, MixerDirection::Playback, min + (max - min) / 2));
    EXPECT_EQ(MixerGetSpkVolume(&error, Alsa()), 127);
}

TEST_F(AlsaMixer, BoostMethodsFailWhenNoElementMatches) {
    if (FindBoostElement(mixer->Elements()) >= 0) {
        GTEST_SKIP() << "this mixer has a boost element";
    }
    EXPECT_FALSE(MixerEnableMicBoost(Alsa()));
    EXPECT_FALSE(MixerDisableMicBoost(Alsa()));
    EXPECT_FALSE(MixerIsMicBoostEnable(Alsa()));
    // Neither volume was touched on the way.
    EXPECT_EQ(Raw(speaker, MixerDirection::Playback), savedSpeaker);
    EXPECT_EQ(Raw(mic, MixerDirection::Capture), savedMic);
}

TEST(AlsaMixerMissing, NonexistentDeviceGivesTheFailureResults) {
    const MixerOpener open = AlsaMixerOpener("tessora_no_such_mixer");
    int32_t error = kUntouched;
    EXPECT_EQ(MixerGetSpkVolume(&error, open), 0);
    EXPECT_EQ(error, 20);
    error = kUntouched;
    EXPECT_FALSE(MixerSetSpkVolume(100, &error, open));
    EXPECT_EQ(error, 20);
    error = kUntouched;
    EXPECT_EQ(MixerGetMicVolume(&error, open), -1);
    EXPECT_EQ(error, 19);
    error = kUntouched;
    EXPECT_FALSE(MixerSetMicVolume(100, &error, open));
    EXPECT_EQ(error, 19);
    EXPECT_FALSE(MixerEnableMicBoost(open));
    EXPECT_FALSE(MixerDisableMicBoost(open));
    EXPECT_FALSE(MixerIsMicBoostEnable(open));
}

} // namespace
