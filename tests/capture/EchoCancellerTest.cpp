// The canceller of the capture path in a synthetic room: far-end speech through an echo
// path into the microphone, with noise, and a near-end talker in a double-talk window.
#include "CEchoCanceller.h"
#include "EchoPath.h"
#include "audio/EchoReference.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<int16_t> ReadSpeech(const std::string& name) {
    SF_INFO info{};
    SNDFILE* file = sf_open((std::string(TESSORA_DATA_DIR "/") + name).c_str(), SFM_READ, &info);
    std::vector<int16_t> samples(file != nullptr ? static_cast<size_t>(info.frames) : 0);
    if (file != nullptr) {
        sf_read_short(file, samples.data(), info.frames);
        sf_close(file);
    }
    return samples;
}

double Dot(const std::vector<double>& a, const std::vector<double>& b, int from, int to) {
    double sum = 0;
    for (int i = from; i < to; ++i)
        sum += a[i] * b[i];
    return sum;
}

} // namespace

TEST(EchoCancellerRoom, RemovesTheEchoAndKeepsTheNearTalkerInDoubleTalk) {
    const auto far = ReadSpeech("speech-remote.wav"), near = ReadSpeech("speech-host.wav");
    ASSERT_FALSE(far.empty() || near.empty());
    constexpr int kFrame = 960, kRate = 8000, kSeconds = 13;
    constexpr int kTalkFrom = 9 * kRate, kTalkTo = 12 * kRate; // double talk
    EchoReference reference;
    auto canceller = CEchoCanceller::Create(reference);
    ASSERT_NE(canceller, nullptr);
    // A 250 ms device round trip ahead of the room's own reflections.
    EchoPath room(2000, EchoPath::SmallRoom(0.5), -50);
    std::vector<double> mic, nearEnd, out;
    for (int f = 0; f < kSeconds * kRate / kFrame; ++f) {
        // The loudspeaker has been handed audio up to about the end of this buffer, in
        // 10 ms periods whose grid wobbles as a device thread's does.
        while (reference.Position() < static_cast<uint64_t>((f + 1) * kFrame + f % 3 * 80)) {
            std::vector<int16_t> period(80);
            for (int i = 0; i < 80; ++i)
                period[i] = far[(reference.Position() + i) % far.size()];
            reference.Append(period.data(), period.size());
        }
        std::vector<int16_t> buffer(kFrame);
        for (int i = 0; i < kFrame; ++i) {
            const int t = f * kFrame + i;
            const double talker = t >= kTalkFrom && t < kTalkTo ? 0.5 * near[t - kTalkFrom] : 0.0;
            mic.push_back(room.Next(far[t % far.size()]));
            nearEnd.push_back(talker);
            buffer[i] = ToSample(mic.back() + talker);
        }
        canceller->Process(buffer.data(), kFrame, reference.Position());
        out.insert(out.end(), buffer.begin(), buffer.end());
    }
    for (int s = 0; s < kTalkFrom / kRate; ++s)
        std::printf("ERLE second %d: %.1f dB\n", s + 1,
                    10 * std::log10(Dot(mic, mic, s * kRate, (s + 1) * kRate) /
                                    Dot(out, out, s * kRate, (s + 1) * kRate)));
    const double erle = 10 * std::log10(Dot(mic, mic, 3 * kRate, kTalkFrom) /
                                        Dot(out, out, 3 * kRate, kTalkFrom));
    const double nearPower = Dot(nearEnd, nearEnd, kTalkFrom, kTalkTo);
    // The suppressor hands its output back one step late.
    out.erase(out.begin(), out.begin() + CEchoCanceller::DELAY_SAMPLES);
    const double kept = Dot(out, nearEnd, kTalkFrom, kTalkTo);
    const double correlation = kept / std::sqrt(nearPower * Dot(out, out, kTalkFrom, kTalkTo));
    const double lossDb = -20 * std::log10(kept / nearPower);
    std::printf("ERLE after 3 s: %.1f dB; double talk: correlation %.3f, loss %.1f dB\n", erle,
                correlation, lossDb);
    EXPECT_GE(erle, 20.0);
    EXPECT_GE(correlation, 0.8);
    EXPECT_LE(lossDb, 4.0);
    EXPECT_EQ(canceller->Resyncs(), 1); // the wobble stays inside the cursor's tolerance
}
