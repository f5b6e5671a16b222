// SPDX-License-Identifier: GPL-3.0-or-later
// CPU time per 20 ms wideband frame: our Opus encoder, decoder and jitter buffer beside raw
// libopus.
#include "CJitterBuffer.h"
#include "COpusDecoder.h"
#include "COpusEncoder.h"
#include "WidebandFrame.h"

#include <benchmark/benchmark.h>
#include <opus.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int FRAMES = 250; // five seconds of signal, cycled
constexpr int SAMPLES = WidebandFrame::kSamples;

// A voiced sound: a gliding pitch with its harmonics, in syllables.
std::vector<int16_t> MakePcm() {
    std::vector<int16_t> pcm(static_cast<size_t>(FRAMES) * SAMPLES);
    double phase = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
        const double t = static_cast<double>(i) / WidebandFrame::kSampleRate;
        phase += 2 * std::numbers::pi * (140 + 40 * std::sin(2 * std::numbers::pi * t)) /
                 WidebandFrame::kSampleRate;
        double v = 0;
        for (int k = 1; k <= 20; ++k)
            v += std::sin(k * phase) / k;
        const double syllable = std::sin(std::numbers::pi * std::fmod(t, 0.25) / 0.25);
        pcm[i] = static_cast<int16_t>(6000 * syllable * v);
    }
    return pcm;
}

std::vector<std::vector<uint8_t>> MakePackets(const std::vector<int16_t>& pcm) {
    COpusEncoder encoder;
    encoder.Open();
    std::vector<std::vector<uint8_t>> packets;
    for (int f = 0; f < FRAMES; ++f) {
        std::vector<uint8_t> packet(WidebandFrame::kMaxOpusBytes);
        const int length = encoder.Encode(pcm.data() + f * SAMPLES, packet.data(),
                                          static_cast<int>(packet.size()));
        packet.resize(static_cast<size_t>(std::max(length, 0)));
        packets.push_back(packet);
    }
    return packets;
}

// The settings COpusEncoder::Open makes, straight on libopus.
OpusEncoder* CreateRawEncoder(int complexity) {
    int error = OPUS_OK;
    OpusEncoder* e =
        opus_encoder_create(WidebandFrame::kSampleRate, 1, OPUS_APPLICATION_VOIP, &error);
    opus_encoder_ctl(e, OPUS_SET_BITRATE(WidebandFrame::kBitrate));
    opus_encoder_ctl(e, OPUS_SET_VBR(1));
    opus_encoder_ctl(e, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
    opus_encoder_ctl(e, OPUS_SET_COMPLEXITY(complexity));
    opus_encoder_ctl(e, OPUS_SET_INBAND_FEC(1));
    opus_encoder_ctl(e, OPUS_SET_PACKET_LOSS_PERC(COpusEncoder::kInitialLossPercent));
    return e;
}

void SetFrameCounters(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    // The share of one core a call spends on it: CPU time over the audio's own time.
    state.counters["core_percent"] =
        benchmark::Counter(0.020 * static_cast<double>(state.iterations()) / 100,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_OpusEncode(benchmark::State& state) {
    const std::vector<int16_t> pcm = MakePcm();
    COpusEncoder encoder;
    encoder.Open();
    uint8_t out[WidebandFrame::kMaxOpusBytes];
    int f = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(encoder.Encode(pcm.data() + f * SAMPLES, out, sizeof out));
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    SetFrameCounters(state);
}

// Raw libopus at a given complexity; at COpusEncoder::kComplexity it is our floor, and the
// others show what each complexity costs.
void BM_LibopusEncode(benchmark::State& state) {
    const std::vector<int16_t> pcm = MakePcm();
    OpusEncoder* encoder = CreateRawEncoder(static_cast<int>(state.range(0)));
    uint8_t out[WidebandFrame::kMaxOpusBytes];
    int f = 0;
    opus_int32 bytes = 0;
    for (auto _ : state) {
        bytes += opus_encode(encoder, pcm.data() + f * SAMPLES, SAMPLES, out, sizeof out);
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    opus_encoder_destroy(encoder);
    SetFrameCounters(state);
    state.counters["kbit_s"] = static_cast<double>(bytes) * 8 / 20.0 /
                               static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

void BM_OpusDecode(benchmark::State& state) {
    const auto packets = MakePackets(MakePcm());
    COpusDecoder decoder;
    decoder.Open();
    int16_t out[SAMPLES];
    int f = 0;
    for (auto _ : state) {
        const auto& p = packets[static_cast<size_t>(f)];
        benchmark::DoNotOptimize(decoder.Decode(p.data(), static_cast<int>(p.size()), out));
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    SetFrameCounters(state);
}

void BM_LibopusDecode(benchmark::State& state) {
    const auto packets = MakePackets(MakePcm());
    int error = OPUS_OK;
    OpusDecoder* decoder = opus_decoder_create(WidebandFrame::kSampleRate, 1, &error);
    int16_t out[SAMPLES];
    int f = 0;
    for (auto _ : state) {
        const auto& p = packets[static_cast<size_t>(f)];
        benchmark::DoNotOptimize(
            opus_decode(decoder, p.data(), static_cast<opus_int32>(p.size()), out, SAMPLES, 0));
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    opus_decoder_destroy(decoder);
    SetFrameCounters(state);
}

// One Put and one Pull per frame, decoding with libopus: the whole receiving side.
void BM_JitterBufferPlay(benchmark::State& state) {
    const auto packets = MakePackets(MakePcm());
    COpusDecoder decoder;
    decoder.Open();
    CJitterBuffer buffer(decoder);
    int16_t out[SAMPLES];
    int64_t n = 0;
    for (auto _ : state) {
        const auto& p = packets[static_cast<size_t>(n % FRAMES)];
        buffer.Put(static_cast<uint16_t>(n), p.data(), static_cast<int>(p.size()), 20 * n + 5);
        benchmark::DoNotOptimize(buffer.Pull(out, 20 * n + 7));
        ++n;
    }
    SetFrameCounters(state);
}

} // namespace

BENCHMARK(BM_OpusEncode);
BENCHMARK(BM_LibopusEncode)->DenseRange(0, 10, 1);
BENCHMARK(BM_OpusDecode);
BENCHMARK(BM_LibopusDecode);
BENCHMARK(BM_JitterBufferPlay);

BENCHMARK_MAIN();
