// SPDX-License-Identifier: GPL-3.0-or-later
// CPU time per 120 ms voice frame for the codec's encode and decode, beside raw libgsm (the floor).
#include "CAcmCodec.h"

#include <benchmark/benchmark.h>
#include <gsm.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int FRAMES = 50; // six seconds of signal, cycled
constexpr int SAMPLES = 960;

// Speech-level tone sweep as 16-bit little-endian PCM.
std::vector<uint8_t> MakePcm() {
    std::vector<uint8_t> pcm(static_cast<size_t>(FRAMES) * SAMPLES * 2);
    for (int i = 0; i < FRAMES * SAMPLES; ++i) {
        const double t = i / 8000.0;
        const double phase = 2 * std::numbers::pi * (200 * t + 300 * t * t);
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(phase)));
        pcm[2 * static_cast<size_t>(i)] = static_cast<uint8_t>(v & 0xFF);
        pcm[2 * static_cast<size_t>(i) + 1] = static_cast<uint8_t>(v >> 8);
    }
    return pcm;
}

std::vector<uint8_t> MakeGsm(const std::vector<uint8_t>& pcm) {
    CAcmCodec encoder;
    encoder.Open(CAcmCodec::DIRECTION_ENCODE);
    std::vector<uint8_t> frames(static_cast<size_t>(FRAMES) * 195);
    for (int f = 0; f < FRAMES; ++f)
        encoder.Convert(frames.data() + f * 195, pcm.data() + f * 1920);
    return frames;
}

gsm CreateWav49() {
    gsm state = gsm_create();
    int one = 1;
    gsm_option(state, GSM_OPT_WAV49, &one);
    return state;
}

void SetFrameCounters(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    // How many times faster than real time one stream runs on one core.
    state.counters["x_realtime"] = benchmark::Counter(
        0.120 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CodecEncode(benchmark::State& state) {
    const std::vector<uint8_t> pcm = MakePcm();
    CAcmCodec encoder;
    encoder.Open(CAcmCodec::DIRECTION_ENCODE);
    uint8_t out[195];
    int f = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(encoder.Convert(out, pcm.data() + f * 1920));
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    SetFrameCounters(state);
}

// The same six libgsm calls on samples already in host order, with no copies: the floor.
void BM_LibgsmEncode(benchmark::State& state) {
    const std::vector<uint8_t> pcm = MakePcm();
    std::vector<gsm_signal> samples(pcm.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<gsm_signal>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
    gsm codec = CreateWav49();
    gsm_byte out[195];
    int f = 0;
    for (auto _ : state) {
        gsm_signal* in = samples.data() + f * SAMPLES;
        for (int b = 0; b < 3; ++b) {
            gsm_encode(codec, in + b * 320, out + b * 65);
            gsm_encode(codec, in + b * 320 + 160, out + b * 65 + 32);
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    gsm_destroy(codec);
    SetFrameCounters(state);
}

void BM_CodecDecode(benchmark::State& state) {
    std::vector<uint8_t> frames = MakeGsm(MakePcm());
    CAcmCodec decoder;
    decoder.Open(CAcmCodec::DIRECTION_DECODE);
    uint8_t out[1920];
    int f = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.Convert(out, frames.data() + f * 195));
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    SetFrameCounters(state);
}

void BM_LibgsmDecode(benchmark::State& state) {
    std::vector<uint8_t> frames = MakeGsm(MakePcm());
    gsm codec = CreateWav49();
    gsm_signal out[SAMPLES];
    int f = 0;
    for (auto _ : state) {
        gsm_byte* in = frames.data() + f * 195;
        for (int b = 0; b < 3; ++b) {
            gsm_decode(codec, in + b * 65, out + b * 320);
            gsm_decode(codec, in + b * 65 + 33, out + b * 320 + 160);
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
        f = (f + 1) % FRAMES;
    }
    gsm_destroy(codec);
    SetFrameCounters(state);
}

} // namespace

BENCHMARK(BM_CodecEncode);
BENCHMARK(BM_LibgsmEncode);
BENCHMARK(BM_CodecDecode);
BENCHMARK(BM_LibgsmDecode);

BENCHMARK_MAIN();
