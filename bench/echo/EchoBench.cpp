// SPDX-License-Identifier: GPL-3.0-or-later
// CPU per 120 ms capture buffer: the echo canceller, the noise suppressor and the codec, and the
// whole capture path (clean, encode, detect) with the canceller on and off.
#include "CAcmCodec.h"
#include "CEchoCanceller.h"
#include "CVoiceActivityDetector.h"
#include "EchoPath.h"
#include "EchoReference.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFrame = 960;
constexpr int kFrames = 100; // 12 s of far-end speech, cycled

// Far-end speech as played, and what a microphone in a small room hears of it.
struct Room {
    std::vector<int16_t> played, heard;
    Room() {
        SF_INFO info{};
        SNDFILE* file = sf_open(TESSORA_DATA_DIR "/speech-remote.wav", SFM_READ, &info);
        played.assign(static_cast<size_t>(kFrames) * kFrame, 0);
        if (file != nullptr) {
            sf_read_short(file, played.data(), std::min<sf_count_t>(info.frames, played.size()));
            sf_close(file);
        }
        EchoPath path(400, EchoPath::SmallRoom(0.5), -50);
        for (int16_t x : played)
            heard.push_back(ToSample(path.Next(x)));
    }
    const int16_t* Frame(const std::vector<int16_t>& v, int64_t f) const {
        return v.data() + (f % kFrames) * kFrame;
    }
};

void PerFrame(benchmark::State& state) {
    state.counters["x_realtime"] = benchmark::Counter(
        0.120 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Encode(benchmark::State& state) {
    const Room room;
    CAcmCodec encoder;
    encoder.Open(CAcmCodec::DIRECTION_ENCODE);
    uint8_t out[CAcmCodec::GSM_FRAME_SIZE];
    int64_t f = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            encoder.Convert(out, reinterpret_cast<const uint8_t*>(room.Frame(room.heard, f++))));
    PerFrame(state);
}

// speexdsp alone: the adaptive filter without and with the preprocessor, in steps of 20, 40
// and 60 ms (a longer step is cheaper per sample, but the preprocessor hands each step back
// a step late, so it adds its length to the call's delay), and with shorter tails (what a
// filter would cost that covers only the echo left after the bulk delay is taken out).
void SpeexSteps(benchmark::State& state, int step, int tail, bool suppress) {
    const Room room;
    SpeexEchoState* echo = speex_echo_state_init(step, tail);
    SpeexPreprocessState* pre = speex_preprocess_state_init(step, CEchoCanceller::RATE);
    int rate = CEchoCanceller::RATE, on = 1;
    speex_echo_ctl(echo, SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
    speex_preprocess_ctl(pre, SPEEX_PREPROCESS_SET_ECHO_STATE, echo);
    speex_preprocess_ctl(pre, SPEEX_PREPROCESS_SET_DENOISE, &on);
    int16_t out[kFrame];
    int64_t f = 0;
    for (auto _ : state) {
        const int16_t* mic = room.Frame(room.heard, f);
        const int16_t* ref = room.Frame(room.played, f++);
        for (int i = 0; i < kFrame; i += step) {
            speex_echo_cancellation(echo, mic + i, ref + i, out + i);
            if (suppress)
                speex_preprocess_run(pre, out + i);
        }
        benchmark::DoNotOptimize(out);
    }
    speex_preprocess_state_destroy(pre);
    speex_echo_state_destroy(echo);
    PerFrame(state);
}

void BM_SpeexSteps(benchmark::State& state) {
    SpeexSteps(state, static_cast<int>(state.range(1)), CEchoCanceller::TAIL_SAMPLES, state.range(0) != 0);
}

void BM_SpeexTail(benchmark::State& state) {
    SpeexSteps(state, CEchoCanceller::STEP_SAMPLES, static_cast<int>(state.range(0)), true);
}

// The capture thread's work per buffer: canceller and suppressor (when on), encoder, detector.
// cancel=2: on, while the far end is silent (the filter is skipped after a tail of silence).
void BM_CapturePath(benchmark::State& state) {
    const bool cancel = state.range(0) != 0, farSilent = state.range(0) == 2;
    const std::vector<int16_t> silence(kFrame, 0);
    const Room room;
    EchoReference reference;
    auto canceller = cancel ? CEchoCanceller::Create(reference) : nullptr;
    CAcmCodec encoder;
    encoder.Open(CAcmCodec::DIRECTION_ENCODE);
    CVoiceActivityDetector detector;
    uint8_t buffer[kFrame * 2], out[CAcmCodec::GSM_FRAME_SIZE];
    int16_t samples[kFrame];
    int64_t f = 0;
    for (auto _ : state) {
        reference.Append(farSilent ? silence.data() : room.Frame(room.played, f), kFrame);
        std::memcpy(buffer, room.Frame(room.heard, f++), sizeof buffer);
        if (canceller != nullptr) {
            std::memcpy(samples, buffer, sizeof buffer);
            canceller->Process(samples, kFrame, reference.Position());
            std::memcpy(buffer, samples, sizeof buffer);
        }
        encoder.Convert(out, buffer);
        detector.UpdateFrame(buffer);
        benchmark::DoNotOptimize(out);
    }
    PerFrame(state);
}

} // namespace

BENCHMARK(BM_Encode);
BENCHMARK(BM_SpeexSteps)->ArgNames({"suppress", "step"})->ArgsProduct({{0, 1}, {160, 320, 480}});
BENCHMARK(BM_SpeexTail)->ArgName("tail")->Arg(CEchoCanceller::TAIL_SAMPLES)->Arg(1600)->Arg(800);
BENCHMARK(BM_CapturePath)->ArgName("cancel")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK_MAIN();
