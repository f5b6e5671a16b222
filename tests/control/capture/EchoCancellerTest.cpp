// SPDX-License-Identifier: GPL-3.0-or-later
// The canceller of the capture path in a synthetic room: far-end speech through an echo
// path into the microphone, with noise, and a near-end talker in a double-talk window.
#include "CEchoCanceller.h"
#include "EchoPath.h"
#include "EchoReference.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

std::vector<int16_t> ReadSpeech(const char* path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    std::vector<int16_t> samples(file != nullptr ? static_cast<size_t>(info.frames) : 0);
    if (file != nullptr) {
        sf_read_short(file, samples.data(), info.frames);
        sf_close(file);
    }
    return samples;
}

} // namespace

struct RoomCase {
    int rate;
    int frame; // the capture buffer: 120 ms in a stated call, 20 ms in a wideband one
    const char* far;
    const char* near;
};

class EchoCancellerRoom : public testing::TestWithParam<RoomCase> {};

TEST_P(EchoCancellerRoom, RemovesTheEchoAndKeepsTheNearTalkerInDoubleTalk) {
    const RoomCase c = GetParam();
    auto far = ReadSpeech(c.far);
    const auto near = ReadSpeech(c.near);
    const int kRate = c.rate, kFrame = c.frame, kPeriod = kRate / 50;
    const int kTalkFrom = 8 * kRate, kTalkTo = 11 * kRate, kScale = kRate / CEchoCanceller::RATE;
    ASSERT_TRUE(far.size() >= static_cast<size_t>(9 * kRate) &&
                near.size() >= static_cast<size_t>(3 * kRate));
    for (size_t i = 0; far.size() < static_cast<size_t>(12 * kRate); ++i)
        far.push_back(far[i]); // the far end starts over if its sample ends first
    EchoReference reference;
    auto canceller = CEchoCanceller::Create(reference, CEchoCanceller::TAIL_SAMPLES * kScale,
                                            true, kRate);
    ASSERT_NE(canceller, nullptr);
    // A 250 ms device round trip first, reflections over 65 ms.
    auto taps = EchoPath::SmallRoom(0.5);
    for (auto& tap : taps)
        tap.delay *= kScale;
    EchoPath room(kRate / 4, taps, -50);
    std::vector<double> mic, nearEnd, out;
    for (int f = 0; f < 12 * kRate / kFrame; ++f) { // the far end says 12 s
        // The loudspeaker has been handed audio up to about the end of this buffer, in
        // 20 ms periods whose grid wobbles by a period as a device thread's does, and the
        // first buffer finds it at its top.
        const int wobble = f % 2 == 0 ? kPeriod : 0;
        while (reference.Position() < static_cast<uint64_t>((f + 1) * kFrame + wobble))
            reference.Append(far.data() + reference.Position(), kPeriod);
        std::vector<int16_t> buffer(kFrame);
        for (int i = 0, t = f * kFrame; i < kFrame; ++i, ++t) {
            mic.push_back(room.Next(far[t]));
            nearEnd.push_back(t >= kTalkFrom && t < kTalkTo ? 0.5 * near[t - kTalkFrom] : 0.0);
            buffer[i] = ToSample(mic.back() + nearEnd.back());
        }
        canceller->Process(buffer.data(), kFrame, reference.Position());
        out.insert(out.end(), buffer.begin(), buffer.end());
    }
    const auto dot = [](const auto& a, const auto& b, int from, int to) {
        return std::inner_product(a.data() + from, a.data() + to, b.data() + from, 0.0);
    };
    const auto erleDb = [&](int from, int to) {
        return 10 * std::log10(dot(mic, mic, from, to) / dot(out, out, from, to));
    };
    double worstSecond = 99; // from the fourth on: once converged, the filter keeps its grip
    for (int s = 0; s < kTalkFrom / kRate; ++s) {
        const double second = erleDb(s * kRate, (s + 1) * kRate);
        std::printf("ERLE second %d: %.1f dB\n", s + 1, second);
        worstSecond = s >= 3 ? std::min(worstSecond, second) : worstSecond;
    }
    const double erle = erleDb(3 * kRate, kTalkFrom);
    out.erase(out.begin(), out.begin() + CEchoCanceller::DELAY_SAMPLES); // the suppressor's lag
    const double nearPower = dot(nearEnd, nearEnd, kTalkFrom, kTalkTo),
                 kept = dot(out, nearEnd, kTalkFrom, kTalkTo);
    const double correlation = kept / std::sqrt(nearPower * dot(out, out, kTalkFrom, kTalkTo));
    const double lossDb = -20 * std::log10(kept / nearPower);
    std::printf("ERLE after 3 s: %.1f dB; double talk: correlation %.3f, loss %.1f dB\n", erle,
                correlation, lossDb);
    EXPECT_GE(erle, 20.0);
    EXPECT_GE(worstSecond, 20.0);
    EXPECT_GE(correlation, 0.8);
    EXPECT_LE(lossDb, 4.0);
    EXPECT_EQ(canceller->Resyncs(), 1); // the wobble stays inside the cursor's tolerance
    EXPECT_EQ(CEchoCanceller::Create(reference, 100), nullptr); // not a whole number of steps
}

INSTANTIATE_TEST_SUITE_P(Rates, EchoCancellerRoom,
                         testing::Values(RoomCase{8000, 960, TESSORA_DATA_DIR "/speech-remote.wav",
                                                  TESSORA_DATA_DIR "/speech-host.wav"},
                                         RoomCase{16000, 320, TESSORA_DATA_DIR "/speech-remote-16k.wav",
                                                  TESSORA_DATA_DIR "/speech-host-16k.wav"}));
