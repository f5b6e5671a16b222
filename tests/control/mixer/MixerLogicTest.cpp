// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the volume scale, the element choice and the mixer methods over a fake mixer.
#include "FakeMixerDevice.h"
#include "MixerControl.h"
#include "MixerElementNames.h"
#include "MixerScale.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

constexpr int32_t kUntouched = 4242;
constexpr int32_t kSpkMixerError = 20;
constexpr int32_t kMicMixerError = 19;

MixerElementInfo Element(const std::string& name, bool pvol, bool cvol, bool psw = false,
                         bool csw = false) {
    MixerElementInfo info;
    info.name = name;
    info.playbackVolume = pvol;
    info.captureVolume = cvol;
    info.playbackSwitch = psw;
    info.captureSwitch = csw;
    return info;
}

std::vector<MixerElementInfo> Named(std::initializer_list<const char*> names) {
    std::vector<MixerElementInfo> out;
    for (const char* name : names) {
        out.push_back(Element(name, true, true));
    }
    return out;
}

// ---- scale ----------------------------------------------------------------

struct Range {
    long min;
    long max;
};

TEST(MixerScale, SetThenGetGivesVBackWheneverTheRangeHoldsIt) {
    const Range ranges[] = {{0, 65536}, {0, 65535}, {0, 255},   {0, 100},   {0, 31},
                            {0, 3},     {0, 1},     {-6000, 0}, {-100, 27}, {7, 7}};
    for (const Range& r : ranges) {
        SCOPED_TRACE(std::to_string(r.min) + ".." + std::to_string(r.max));
        // Every v that some element value reads as.
        std::vector<bool> reachable(256, false);
        for (long e = r.min; e <= r.max; ++e) {
            const int v = MixerVolumeFromElement(e, r.min, r.max);
            ASSERT_GE(v, 0);
            ASSERT_LE(v, 255);
            reachable[size_t(v)] = true;
        }
        long previous = r.min;
        for (int v = 0; v <= 255; ++v) {
            const long e = MixerVolumeToElement(v, r.min, r.max);
            ASSERT_GE(e, r.min);
            ASSERT_LE(e, r.max);
            ASSERT_GE(e, previous) << "not monotonic at " << v;
            previous = e;
            const int back = MixerVolumeFromElement(e, r.min, r.max);
            if (reachable[size_t(v)]) {
                ASSERT_EQ(back, v);
            } else {
                // A step the range cannot hold lands on the next one it can,
                // or on the top one when there is none above.
                int expected = v;
                while (expected < 255 && !reachable[size_t(expected)]) {
                    ++expected;
                }
                while (!reachable[size_t(expected)]) {
                    --expected;
                }
                ASSERT_EQ(back, expected) << v;
            }
        }
        EXPECT_EQ(MixerVolumeToElement(0, r.min, r.max), r.min);
        EXPECT_EQ(MixerVolumeFromElement(r.min, r.min, r.max), 0);
        if (r.max > r.min) {
            EXPECT_EQ(MixerVolumeFromElement(r.max, r.min, r.max), 255);
        }
    }
}

TEST(MixerScale, FullSixteenBitRangeIsTheTimes256Rule) {
    for (int v = 0; v <= 255; ++v) {
        ASSERT_EQ(MixerVolumeToElement(v, 0, 65535), long(v) * 256);
    }
    EXPECT_EQ(MixerVolumeFromElement(65535, 0, 65535), 255); // truncating division
    EXPECT_EQ(MixerVolumeFromElement(511, 0, 65535), 1);
    EXPECT_EQ(MixerVolumeFromElement(255, 0, 65535), 0);
}

TEST(MixerScale, ValuesOutsideTheRangeAreClamped) {
    EXPECT_EQ(MixerVolumeFromElement(-10, 0, 100), 0);
    EXPECT_EQ(MixerVolumeFromElement(1000, 0, 100), 255);
    EXPECT_EQ(MixerVolumeToElement(400, 0, 100), MixerVolumeToElement(255, 0, 100));
    EXPECT_EQ(MixerVolumeToElement(-3, 0, 100), 0);
    // Huge ranges do not overflow the arithmetic.
    EXPECT_EQ(MixerVolumeFromElement(LONG_MAX, LONG_MIN / 2, LONG_MAX), 255);
    EXPECT_EQ(MixerVolumeFromElement(LONG_MIN, LONG_MIN, LONG_MAX), 0);
    EXPECT_EQ(MixerVolumeToElement(0, LONG_MIN, LONG_MAX), LONG_MIN);
    const long top = MixerVolumeToElement(255, LONG_MIN, LONG_MAX);
    EXPECT_EQ(MixerVolumeFromElement(top, LONG_MIN, LONG_MAX), 255);
    EXPECT_EQ(MixerVolumeFromElement(top - 1, LONG_MIN, LONG_MAX), 254);
}

TEST(MixerScale, SettersInterpretOutOfRangeInputDifferently) {
    // Speaker: the value as unsigned, anything above 255 is full scale.
    EXPECT_EQ(SpeakerInputVolume(0), 0);
    EXPECT_EQ(SpeakerInputVolume(255), 255);
    EXPECT_EQ(SpeakerInputVolume(256), 255);
    EXPECT_EQ(SpeakerInputVolume(300), 255);
    EXPECT_EQ(SpeakerInputVolume(1000), 255);
    EXPECT_EQ(SpeakerInputVolume(-1), 255);
    EXPECT_EQ(SpeakerInputVolume(-5), 255);
    EXPECT_EQ(SpeakerInputVolume(INT32_MIN), 255);
    // Microphone: the low 8 bits only.
    EXPECT_EQ(MicInputVolume(255), 255);
    EXPECT_EQ(MicInputVolume(256), 0);
    EXPECT_EQ(MicInputVolume(300), 44);
    EXPECT_EQ(MicInputVolume(-1), 255);
    EXPECT_EQ(MicInputVolume(-5), 251);
    EXPECT_EQ(MicInputVolume(INT32_MIN), 0);
}

// ---- element choice -------------------------------------------------------

TEST(MixerElementNames, SpeakerPrefersMasterThenPcmThenSpeaker) {
    EXPECT_EQ(FindSpeakerElement(Named({"Speaker", "PCM", "Master"})), 2);
    EXPECT_EQ(FindSpeakerElement(Named({"Speaker", "Capture", "PCM"})), 2);
    EXPECT_EQ(FindSpeakerElement(Named({"Mic", "Speaker"})), 1);
    EXPECT_EQ(FindSpeakerElement(Named({"Headphone", "master", "Capture"})), -1);
    EXPECT_EQ(FindSpeakerElement({}), -1);
    // A Master without a playback volume (a bare switch) is passed over.
    std::vector<MixerElementInfo> list = {Element("Master", false, false, true),
                                          Element("PCM", true, false)};
    EXPECT_EQ(FindSpeakerElement(list), 1);
}

TEST(MixerElementNames, MicrophonePrefersCaptureThenMic) {
    EXPECT_EQ(FindMicElement(Named({"Master", "Mic", "Capture"})), 2);
    EXPECT_EQ(FindMicElement(Named({"Master", "Mic"})), 1);
    EXPECT_EQ(FindMicElement(Named({"Master", "PCM"})), -1);
    std::vector<MixerElementInfo> list = {Element("Capture", true, false),
                                          Element("Mic", false, true)};
    EXPECT_EQ(FindMicElement(list), 1);
}

TEST(MixerElementNames, BoostMatchIgnoresCaseAndTakesTheFirst) {
    EXPECT_TRUE(IsBoostName("Mic +20DB"));
    EXPECT_TRUE(IsBoostName("AUTO GAIN CONTROL"));
    EXPECT_TRUE(IsBoostName("Mic Boost"));
    EXPECT_TRUE(IsBoostName("Front Mic Boost Volume"));
    EXPECT_TRUE(IsBoostName("+20dB"));
    EXPECT_FALSE(IsBoostName("+20 dB"));
    EXPECT_FALSE(IsBoostName("Capture"));
    EXPECT_FALSE(IsBoostName("Boos"));
    EXPECT_FALSE(IsBoostName(""));

    EXPECT_EQ(FindBoostElement(Named({"Master", "Capture", "Mic Boost", "Input Gain"})), 2);
    EXPECT_EQ(FindBoostElement(Named({"Master", "Input GAIN", "Mic Boost"})), 1);
    EXPECT_EQ(FindBoostElement(Named({"Mic +20DB", "Mic Boost"})), 0);
    EXPECT_EQ(FindBoostElement(Named({"Master", "Capture", "PCM"})), -1);
    EXPECT_EQ(FindBoostElement({}), -1);
}

// ---- volume methods over a fake mixer ------------------------------------

class MixerMethods : public ::testing::Test {
protected:
    void SetUp() override {
        master = state.Add(Element("Master", true, false, true));
        state.Range(master, MixerDirection::Playback) = {0, 65536};
        state.Volume(master, MixerDirection::Playback) = 0;
        capture = state.Add(Element("Capture", false, true, false, true));
        state.Range(capture, MixerDirection::Capture) = {0, 31};
        state.Volume(capture, MixerDirection::Capture) = 0;
    }
    void TearDown() override { EXPECT_EQ(state.live, 0) << "a mixer handle outlived its call"; }

    FakeMixerState state;
    int master = -1;
    int capture = -1;
    int32_t error = kUntouched;
};

TEST_F(MixerMethods, SpeakerRoundTripsAndAppliesItsInputRule) {
    const MixerOpener open = state.Opener();
    for (int32_t v : {0, 1, 128, 254, 255}) {
        ASSERT_TRUE(MixerSetSpkVolume(v, &error, open));
        EXPECT_EQ(MixerGetSpkVolume(&error, open), v);
    }
    for (int32_t v : {300, -5, 1000}) {
        ASSERT_TRUE(MixerSetSpkVolume(0, &error, open));
        ASSERT_TRUE(MixerSetSpkVolume(v, &error, open));
        EXPECT_EQ(MixerGetSpkVolume(&error, open), 255) << v;
    }
    EXPECT_EQ(error, kUntouched);
    EXPECT_EQ(state.opens, 19); // one open per call
}

TEST_F(MixerMethods, MicrophoneKeepsTheLowEightBits) {
    const MixerOpener open = state.Opener();
    // A 0..31 element cannot hold 44 exactly; 256 -> 0 and -1 -> 255 it can.
    ASSERT_TRUE(MixerSetMicVolume(300, &error, open));
    EXPECT_EQ(state.Volume(capture, MixerDirection::Capture), MixerVolumeToElement(44, 0, 31));
    ASSERT_TRUE(MixerSetMicVolume(256, &error, open));
    EXPECT_EQ(MixerGetMicVolume(&error, open), 0);
    ASSERT_TRUE(MixerSetMicVolume(-1, &error, open));
    EXPECT_EQ(MixerGetMicVolume(&error, open), 255);
    EXPECT_EQ(error, kUntouched);
}

TEST_F(MixerMethods, ChangesMadeElsewhereAreSeenAtOnce) {
    const MixerOpener open = state.Opener();
    state.Volume(master, MixerDirection::Playback) = 32768;
    EXPECT_EQ(MixerGetSpkVolume(&error, open), 127);
    state.Volume(master, MixerDirection::Playback) = 65536;
    EXPECT_EQ(MixerGetSpkVolume(&error, open), 255);
}

TEST_F(MixerMethods, SpeakerFailuresGiveZeroOrMinusOneAndError20) {
    const MixerOpener open = state.Opener();
    state.failReads = true;
    EXPECT_EQ(MixerGetSpkVolume(&error, open), -1);
    EXPECT_EQ(error, kSpkMixerError);

    error = kUntouched;
    state.failReads = false;
    state.failWrites = true;
    EXPECT_FALSE(MixerSetSpkVolume(10, &error, open));
    EXPECT_EQ(error, kSpkMixerError);

    error = kUntouched;
    state.failOpen = true;
    EXPECT_EQ(MixerGetSpkVolume(&error, open), 0);
    EXPECT_EQ(error, kSpkMixerError);
    EXPECT_EQ(MixerGetSpkVolume(nullptr, open), 0); // no error slot: still no crash

    error = kUntouched;
    state.failOpen = false;
    state.elements[size_t(master)].name = "Headphone"; // no speaker element at all
    EXPECT_EQ(MixerGetSpkVolume(&error, open), 0);
    EXPECT_EQ(error, kSpkMixerError);
    EXPECT_EQ(MixerGetMicVolume(&error, open), 0) << "the microphone is unaffected";
}

TEST_F(MixerMethods, MicrophoneFailuresGiveMinusOneAndError19) {
    const MixerOpener open = state.Opener();
    state.failReads = true;
    EXPECT_EQ(MixerGetMicVolume(&error, open), -1);
    EXPECT_EQ(error, kMicMixerError);

    error = kUntouched;
    state.failReads = false;
    state.ranges.erase(
        FakeMixerState::Key(capture, MixerDirection::Capture)); // element without a usable range
    EXPECT_FALSE(MixerSetMicVolume(10, &error, open));
    EXPECT_EQ(error, kMicMixerError);

    error = kUntouched;
    state.failOpen = true;
    EXPECT_EQ(MixerGetMicVolume(&error, open), -1);
    EXPECT_EQ(error, kMicMixerError);
    EXPECT_FALSE(MixerSetMicVolume(10, &error, open));
    EXPECT_EQ(MixerGetSpkVolume(&error, open), 0);
    EXPECT_EQ(error, kSpkMixerError);
}

TEST_F(MixerMethods, FallsBackToPcmWhenThereIsNoMaster) {
    state.elements[size_t(master)].name = "Headphone";
    const int pcm = state.Add(Element("PCM", true, false));
    state.Range(pcm, MixerDirection::Playback) = {0, 255};
    const MixerOpener open = state.Opener();
    ASSERT_TRUE(MixerSetSpkVolume(200, &error, open));
    EXPECT_EQ(state.Volume(pcm, MixerDirection::Playback), MixerVolumeToElement(200, 0, 255));
    EXPECT_EQ(state.Volume(master, MixerDirection::Playback), 0);
    EXPECT_EQ(MixerGetSpkVolume(&error, open), 200);
}

// ---- boost over a fake mixer ---------------------------------------------

TEST_F(MixerMethods, NoBoostElementMakesAllThreeFail) {
    const MixerOpener open = state.Opener();
    EXPECT_FALSE(MixerEnableMicBoost(open));
    EXPECT_FALSE(MixerDisableMicBoost(open));
    EXPECT_FALSE(MixerIsMicBoostEnable(open));
    state.failOpen = true;
    EXPECT_FALSE(MixerEnableMicBoost(open));
    EXPECT_FALSE(MixerIsMicBoostEnable(open));
}

TEST_F(MixerMethods, BoostSwitchIsWrittenAndRead) {
    const int boost = state.Add(Element("Mic Boost (+20DB)", false, false, false, true));
    state.Switch(boost, MixerDirection::Capture) = false;
    const MixerOpener open = state.Opener();
    EXPECT_FALSE(MixerIsMicBoostEnable(open));
    ASSERT_TRUE(MixerEnableMicBoost(open));
    EXPECT_TRUE(state.Switch(boost, MixerDirection::Capture));
    EXPECT_TRUE(MixerIsMicBoostEnable(open));
    ASSERT_TRUE(MixerDisableMicBoost(open));
    EXPECT_FALSE(MixerIsMicBoostEnable(open));
    // The speaker switch of Master was not mistaken for it.
    EXPECT_EQ(state.switches.count(FakeMixerState::Key(master, MixerDirection::Playback)), 0u);

    ASSERT_TRUE(MixerEnableMicBoost(open));
    state.failReads = true;
    EXPECT_FALSE(MixerIsMicBoostEnable(open)) << "a failed read is not an enabled boost";
}

TEST_F(MixerMethods, PlaybackSwitchComesBeforeCaptureSwitch) {
    const int boost = state.Add(Element("GAIN", false, false, true, true));
    state.Switch(boost, MixerDirection::Playback) = false;
    state.Switch(boost, MixerDirection::Capture) = false;
    ASSERT_TRUE(MixerEnableMicBoost(state.Opener()));
    EXPECT_TRUE(state.Switch(boost, MixerDirection::Playback));
    EXPECT_FALSE(state.Switch(boost, MixerDirection::Capture));
}

TEST_F(MixerMethods, VolumeOnlyBoostGoesBetweenItsEnds) {
    const int boost = state.Add(Element("Mic Boost", false, true));
    state.Range(boost, MixerDirection::Capture) = {0, 3};
    state.Volume(boost, MixerDirection::Capture) = 1;
    const MixerOpener open = state.Opener();
    EXPECT_TRUE(MixerIsMicBoostEnable(open));
    ASSERT_TRUE(MixerDisableMicBoost(open));
    EXPECT_EQ(state.Volume(boost, MixerDirection::Capture), 0);
    EXPECT_FALSE(MixerIsMicBoostEnable(open));
    ASSERT_TRUE(MixerEnableMicBoost(open));
    EXPECT_EQ(state.Volume(boost, MixerDirection::Capture), 3);
    EXPECT_TRUE(MixerIsMicBoostEnable(open));
}

TEST_F(MixerMethods, FirstMatchWinsEvenWhenItCannotBeUsed) {
    state.Add(Element("Digital Gain Mode", false, false)); // nothing to write
    const int boost = state.Add(Element("Mic Boost", false, false, true));
    state.Switch(boost, MixerDirection::Playback) = false;
    const MixerOpener open = state.Opener();
    EXPECT_FALSE(MixerEnableMicBoost(open));
    EXPECT_FALSE(state.Switch(boost, MixerDirection::Playback));
}

} // namespace
