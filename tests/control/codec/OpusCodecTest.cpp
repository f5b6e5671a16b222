// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the Opus codec pair: lost frames rebuilt through the jitter buffer, packets refused.
#include "CJitterBuffer.h"
#include "COpusDecoder.h"
#include "COpusEncoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>

namespace {

constexpr int kFrame = WidebandFrame::kSamples;
using Frame = std::vector<int16_t>;

// A voiced talker: a pitch gliding over 110..190 Hz with its harmonics to 7 kHz, in syllables.
int16_t Voice(int n) {
    const double t = n / 16000.0;
    const double phase = 2 * std::numbers::pi * (150 * t - 9 * std::cos(4 * t));
    double v = 0;
    for (int k = 1; k < 40; ++k)
        v += std::sin(k * phase) * (1 + std::cos(k / 4.0 + 3 * t)) / k;
    return static_cast<int16_t>(7000 * std::pow(std::sin(4 * t), 2) * v);
}

// How close `got` is to `want`, in dB; NAN for a frame too quiet to judge.
double Snr(const Frame& want, const Frame& got) {
    const double signal = std::inner_product(want.begin(), want.end(), want.begin(), 0.0);
    const double noise =
        std::transform_reduce(want.begin(), want.end(), got.begin(), 1e-9, std::plus<>(),
                              [](double a, double b) { return (a - b) * (a - b); });
    return signal < 500.0 * 500 * kFrame ? NAN : 10 * std::log10(signal / noise);
}

} // namespace

TEST(COpusCodec, RebuildsSingleLossesFarCloserThanConcealmentAndRefusesOtherDurations) {
    constexpr int kFrames = 300; // 6 s
    const auto lost = [](int i) { return i > 20 && i % 10 == 5; };
    COpusEncoder encoder;
    COpusDecoder reference, guesser, decoder;
    ASSERT_TRUE(encoder.Open() && reference.Open() && guesser.Open() && decoder.Open());
    CJitterBuffer buffer(decoder);
    // Without loss, with each lost frame concealed, and through the buffer on a clean line,
    // which plays a frame two pulls after it arrives; judged on the voiced frames lost.
    std::vector<Frame> clean(kFrames, Frame(kFrame)), concealed = clean;
    uint8_t packets[kFrames][WidebandFrame::kMaxOpusBytes];
    int lengths[kFrames], counted = 0;
    double rebuilt = 0, guessed = 0;
    Frame pcm(kFrame);
    for (int n = 0; n < kFrames + 2; ++n) {
        if (n < kFrames) {
            for (int j = 0; j < kFrame; ++j)
                pcm[j] = Voice(n * kFrame + j);
            lengths[n] = encoder.Encode(pcm.data(), packets[n], sizeof packets[n]);
            ASSERT_EQ(reference.Decode(packets[n], lengths[n], clean[n].data()), kFrame);
            ASSERT_EQ(lost(n) ? guesser.Conceal(concealed[n].data())
                              : guesser.Decode(packets[n], lengths[n], concealed[n].data()),
                      kFrame);
            if (!lost(n))
                buffer.Put(static_cast<uint16_t>(n), packets[n], lengths[n], 20 * n + 5);
        }
        const CJitterBuffer::Played kind = buffer.Pull(pcm.data(), 20 * n + 7).played;
        const int i = n - 2;
        if (i < 0)
            continue;
        EXPECT_EQ(kind, lost(i) ? CJitterBuffer::Played::Fec : CJitterBuffer::Played::Frame);
        if (lost(i) && !std::isnan(Snr(clean[i], pcm))) {
            rebuilt += Snr(clean[i], pcm);
            guessed += Snr(clean[i], concealed[i]);
            ++counted;
        }
    }
    ASSERT_GE(counted, 15);
    EXPECT_GT(rebuilt / counted, guessed / counted + 6);

    // A packet of other than 20 ms would not fit the frame: refused before anything is written.
    ASSERT_TRUE(packets[0][0] >> 3 < 12 && (packets[0][0] >> 3) % 4 == 1); // SILK of 20 ms,
    packets[0][0] = static_cast<uint8_t>(packets[0][0] - (1 << 3));        // now of 10 ms
    const Frame before = pcm;
    for (int length : {lengths[0], 0, WidebandFrame::kMaxOpusBytes + 1}) {
        EXPECT_EQ(decoder.Decode(packets[0], length, pcm.data()), -1);
        EXPECT_EQ(decoder.DecodeFec(packets[0], length, pcm.data()), -1);
    }
    EXPECT_EQ(pcm, before);
}
