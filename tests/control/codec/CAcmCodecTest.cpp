// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the GSM codec: frame sizes, state across frames, and agreement with ffmpeg's decoder.
#include "CAcmCodec.h"
#include "GsmTestSupport.h"

#include <gsm.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace gsmtest;

namespace {

// About -12 dBFS: speech level, where ffmpeg's and libgsm's saturation cannot differ.
constexpr double SPEECH_AMPLITUDE = 8200;

std::vector<uint8_t> EncodeFrames(CAcmCodec& codec, const std::vector<int16_t>& signal) {
    const std::vector<uint8_t> pcm = ToBytes(signal);
    const size_t frames = signal.size() / FRAME_SAMPLES;
    std::vector<uint8_t> gsm(frames * GSM_FRAME_BYTES);
    for (size_t f = 0; f < frames; ++f)
        EXPECT_TRUE(
            codec.Convert(gsm.data() + f * GSM_FRAME_BYTES, pcm.data() + f * PCM_FRAME_BYTES));
    return gsm;
}

std::vector<int16_t> DecodeFrames(CAcmCodec& codec, const std::vector<uint8_t>& gsm) {
    const size_t frames = gsm.size() / GSM_FRAME_BYTES;
    std::vector<uint8_t> pcm(frames * PCM_FRAME_BYTES);
    for (size_t f = 0; f < frames; ++f)
        EXPECT_TRUE(
            codec.Convert(pcm.data() + f * PCM_FRAME_BYTES, gsm.data() + f * GSM_FRAME_BYTES));
    return ToSamples(pcm.data(), static_cast<int>(pcm.size()));
}

std::vector<int16_t> Trimmed(const std::vector<int16_t>& signal) {
    return {signal.begin(),
            signal.begin() + static_cast<long>(signal.size() / FRAME_SAMPLES * FRAME_SAMPLES)};
}

// One uninterrupted libgsm run over the whole signal, 160 samples per call.
std::vector<uint8_t> LibgsmEncodeContinuously(std::vector<int16_t> signal) {
    gsm state = gsm_create();
    int one = 1;
    gsm_option(state, GSM_OPT_WAV49, &one);
    std::vector<uint8_t> out;
    gsm_byte half[33];
    for (size_t i = 0; i + 160 <= signal.size(); i += 160) {
        const bool first = (i / 160) % 2 == 0;
        gsm_encode(state, signal.data() + i, half);
        out.insert(out.end(), half, half + (first ? 32 : 33));
    }
    gsm_destroy(state);
    return out;
}

std::vector<int16_t> LibgsmDecodeContinuously(std::vector<uint8_t> bytes) {
    gsm state = gsm_create();
    int one = 1;
    gsm_option(state, GSM_OPT_WAV49, &one);
    std::vector<int16_t> out;
    gsm_signal block[160];
    size_t pos = 0;
    for (int n = 0; pos < bytes.size(); ++n) {
        const size_t size = n % 2 == 0 ? 33 : 32;
        gsm_decode(state, bytes.data() + pos, block);
        out.insert(out.end(), block, block + 160);
        pos += size;
    }
    gsm_destroy(state);
    return out;
}

} // namespace

TEST(CAcmCodec, ConvertsExactlyOneFrameEachWay) {
    const std::vector<uint8_t> pcm = ToBytes(MakeSweep(FRAME_SAMPLES, SPEECH_AMPLITUDE, 300, 1200));
    CAcmCodec encoder;
    ASSERT_TRUE(encoder.Open(CAcmCodec::DIRECTION_ENCODE));
    EXPECT_EQ(encoder.SourceFrameSize(), 1920);
    EXPECT_EQ(encoder.DestinationFrameSize(), 195);

    // Guard bytes past the frame show how much was written.
    std::vector<uint8_t> gsm(GSM_FRAME_BYTES + 64, 0xA5);
    ASSERT_TRUE(encoder.Convert(gsm.data(), pcm.data()));
    EXPECT_TRUE(
        std::all_of(gsm.begin() + GSM_FRAME_BYTES, gsm.end(), [](uint8_t b) { return b == 0xA5; }));
    EXPECT_FALSE(std::all_of(gsm.begin(), gsm.begin() + GSM_FRAME_BYTES,
                             [](uint8_t b) { return b == 0xA5; }));

    CAcmCodec decoder;
    ASSERT_TRUE(decoder.Open(CAcmCodec::DIRECTION_DECODE));
    EXPECT_EQ(decoder.SourceFrameSize(), 195);
    EXPECT_EQ(decoder.DestinationFrameSize(), 1920);
    std::vector<uint8_t> out(PCM_FRAME_BYTES + 64, 0x5A);
    ASSERT_TRUE(decoder.Convert(out.data(), gsm.data()));
    EXPECT_TRUE(
        std::all_of(out.begin() + PCM_FRAME_BYTES, out.end(), [](uint8_t b) { return b == 0x5A; }));
}

TEST(CAcmCodec, RoundTripKeepsTheSignal) {
    const std::vector<int16_t> signal = MakeSweep(10 * FRAME_SAMPLES, SPEECH_AMPLITUDE, 200, 3000);
    CAcmCodec encoder, decoder;
    ASSERT_TRUE(encoder.Open(CAcmCodec::DIRECTION_ENCODE));
    ASSERT_TRUE(decoder.Open(CAcmCodec::DIRECTION_DECODE));
    const std::vector<int16_t> decoded = DecodeFrames(decoder, EncodeFrames(encoder, signal));
    ASSERT_EQ(decoded.size(), signal.size());
    int lag = 99;
    // GSM is lossy, but the waveform of a clean tone survives, without delay.
    EXPECT_GT(BestCorrelation(signal, decoded, 40, &lag), 0.8);
    EXPECT_EQ(lag, 0);
}

TEST(CAcmCodec, StateCarriesFromFrameToFrame) {
    const std::vector<int16_t> signal = MakeSweep(8 * FRAME_SAMPLES, SPEECH_AMPLITUDE, 250, 2500);

    CAcmCodec encoder;
    ASSERT_TRUE(encoder.Open(CAcmCodec::DIRECTION_ENCODE));
    const std::vector<uint8_t> streamed = EncodeFrames(encoder, signal);
    EXPECT_EQ(streamed, LibgsmEncodeContinuously(signal));

    // Starting afresh for every frame gives other bytes: the state matters.
    std::vector<uint8_t> fresh;
    for (int f = 0; f < 8; ++f) {
        CAcmCodec once;
        ASSERT_TRUE(once.Open(CAcmCodec::DIRECTION_ENCODE));
        const std::vector<int16_t> frame(signal.begin() + f * FRAME_SAMPLES,
                                         signal.begin() + (f + 1) * FRAME_SAMPLES);
        const std::vector<uint8_t> bytes = EncodeFrames(once, frame);
        fresh.insert(fresh.end(), bytes.begin(), bytes.end());
    }
    EXPECT_NE(fresh, streamed);
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.begin() + GSM_FRAME_BYTES, streamed.begin()));

    CAcmCodec decoder;
    ASSERT_TRUE(decoder.Open(CAcmCodec::DIRECTION_DECODE));
    EXPECT_EQ(DecodeFrames(decoder, streamed), LibgsmDecodeContinuously(streamed));
}

TEST(CAcmCodec, ClosedCodecRefusesAndLeavesOutputAlone) {
    std::vector<uint8_t> in(PCM_FRAME_BYTES, 0x11), out(PCM_FRAME_BYTES, 0x77);
    CAcmCodec codec;
    EXPECT_FALSE(codec.IsOpen());
    EXPECT_FALSE(codec.Convert(out.data(), in.data()));
    codec.Close();
    codec.Close();

    ASSERT_TRUE(codec.Open(CAcmCodec::DIRECTION_DECODE));
    EXPECT_TRUE(codec.IsOpen());
    codec.Close();
    EXPECT_FALSE(codec.IsOpen());
    EXPECT_FALSE(codec.Convert(out.data(), in.data()));
    codec.Close();
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0x77; }));
    EXPECT_FALSE(codec.Open(2));
    EXPECT_FALSE(codec.IsOpen());
}

TEST(CAcmCodec, ReopeningStartsAFreshStream) {
    const std::vector<int16_t> signal = MakeSweep(3 * FRAME_SAMPLES, SPEECH_AMPLITUDE, 400, 900);
    CAcmCodec codec;
    ASSERT_TRUE(codec.Open(CAcmCodec::DIRECTION_ENCODE));
    const std::vector<uint8_t> first = EncodeFrames(codec, signal);
    codec.Close();
    ASSERT_TRUE(codec.Open(CAcmCodec::DIRECTION_ENCODE));
    EXPECT_EQ(EncodeFrames(codec, signal), first);
    // Open while open also starts afresh rather than continuing the old stream.
    ASSERT_TRUE(codec.Open(CAcmCodec::DIRECTION_ENCODE));
    EXPECT_EQ(EncodeFrames(codec, signal), first);
}

class CAcmCodecFfmpeg : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("ffmpeg"))
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_FALSE(m_dir.Path().empty());
    }

    // Our frames in a format-0x0031 WAV, decoded by ffmpeg's own gsm_ms decoder,
    // must give what our decoder gives.
    void ExpectFfmpegAgrees(const std::vector<int16_t>& signal) {
        CAcmCodec encoder, decoder;
        ASSERT_TRUE(encoder.Open(CAcmCodec::DIRECTION_ENCODE));
        ASSERT_TRUE(decoder.Open(CAcmCodec::DIRECTION_DECODE));
        const std::vector<uint8_t> gsm = EncodeFrames(encoder, signal);
        const std::vector<int16_t> ours = DecodeFrames(decoder, gsm);
        const std::string wav = m_dir.File("ours.wav");
        ASSERT_TRUE(WriteGsmWav(wav, gsm, static_cast<int>(signal.size())));
        std::vector<int16_t> theirs;
        ASSERT_TRUE(FfmpegDecode(wav, m_dir.Path(), &theirs));
        ASSERT_EQ(theirs.size(), ours.size());
        EXPECT_EQ(theirs, ours);
        EXPECT_GT(BestCorrelation(signal, theirs, 0), 0.5);
    }

    TempDir m_dir;
};

TEST_F(CAcmCodecFfmpeg, DecodesOurToneSweepAsWeDo) {
    ExpectFfmpegAgrees(MakeSweep(25 * FRAME_SAMPLES, SPEECH_AMPLITUDE, 100, 3800));
}

TEST_F(CAcmCodecFfmpeg, DecodesOurSpeechAsWeDo) {
    const std::vector<int16_t> speech =
        MakeSpeech("The quick brown fox jumps over the lazy dog", m_dir.Path());
    if (speech.size() < FRAME_SAMPLES)
        GTEST_SKIP() << "espeak-ng or sox is not installed";
    ExpectFfmpegAgrees(Trimmed(speech));
}
