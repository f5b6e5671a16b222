// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the encrypted call: one handshake on each side, one voice packet sealed and opened.
#include "CSecureCallee.h"
#include "CSecureCaller.h"
#include "CSecureChannel.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const char kUser[] = "alice";
const char kPassword[] = "correct horse";
constexpr uint8_t kVoiceType = 10;
constexpr int kVoiceBytes = 195;

// One attempt, step by step; a step that fails ends the benchmark, since its numbers
// would then measure something else.
struct Attempt {
    CSecureCaller caller;
    CSecureCallee callee;

    void Call() { Check(caller.Start(kUser, kPassword)); }
    void Answer() {
        CSecureCallee::Request request;
        const auto& wire = caller.RequestPayload();
        Check(CSecureCallee::ParseRequest(wire.data(), int(wire.size()), &request) &&
              callee.Start(request, kPassword));
    }
    void Accept() {
        const auto& accept = callee.AcceptPayload();
        Check(caller.OnAccept(accept.data(), int(accept.size())) ==
              CSecureCaller::Answer::Accepted);
        benchmark::DoNotOptimize(caller.TakeChannel());
    }
    void Confirm() {
        const auto& confirm = caller.ConfirmPayload();
        Check(callee.CheckConfirm(confirm.data(), int(confirm.size())));
        benchmark::DoNotOptimize(callee.TakeChannel());
    }
    static void Check(bool done) {
        if (!done)
            std::abort();
    }
};

// The caller's work for one call: the request, then the accept checked and the keys made.
// The host's answer in between is not timed.
void BM_CallerHandshake(benchmark::State& state) {
    for (auto _ : state) {
        Attempt attempt;
        attempt.Call();
        state.PauseTiming();
        attempt.Answer();
        state.ResumeTiming();
        attempt.Accept();
    }
}
BENCHMARK(BM_CallerHandshake)->Unit(benchmark::kMicrosecond);

// The host's work for one call: the request read, the accept built, the confirmation checked.
void BM_CalleeHandshake(benchmark::State& state) {
    for (auto _ : state) {
        Attempt attempt;
        state.PauseTiming();
        attempt.Call();
        state.ResumeTiming();
        attempt.Answer();
        state.PauseTiming();
        attempt.Accept();
        state.ResumeTiming();
        attempt.Confirm();
    }
}
BENCHMARK(BM_CalleeHandshake)->Unit(benchmark::kMicrosecond);

// Both ends of a call with fixed keys: the handshake is not what these measure.
struct Pair {
    std::unique_ptr<CSecureChannel> caller, callee;
    Pair() {
        SecretBytes<SecureCall::kKeyBytes> k1, k2, k3, k4;
        k1.data()[0] = k3.data()[0] = 1;
        k2.data()[0] = k4.data()[0] = 2;
        caller = std::make_unique<CSecureChannel>(CSecureChannel::Role::Caller, std::move(k1),
                                                  std::move(k2));
        callee = std::make_unique<CSecureChannel>(CSecureChannel::Role::Callee, std::move(k3),
                                                  std::move(k4));
    }
};

void BM_SealVoicePacket(benchmark::State& state) {
    Pair pair;
    const std::vector<uint8_t> voice(kVoiceBytes, 0x5a);
    std::vector<uint8_t> sealed;
    for (auto _ : state) {
        pair.caller->Seal(kVoiceType, voice.data(), kVoiceBytes, &sealed);
        benchmark::DoNotOptimize(sealed.data());
    }
}
BENCHMARK(BM_SealVoicePacket);

// Each packet opens once only, so a batch is sealed ahead (untimed) and opened in turn.
void BM_OpenVoicePacket(benchmark::State& state) {
    constexpr size_t kBatch = 4096;
    const std::vector<uint8_t> voice(kVoiceBytes, 0x5a);
    std::unique_ptr<Pair> pair;
    std::vector<std::vector<uint8_t>> batch(kBatch);
    size_t next = kBatch;
    CSecureChannel::Opened opened;
    for (auto _ : state) {
        if (next == kBatch) {
            state.PauseTiming();
            pair = std::make_unique<Pair>();
            for (auto& packet : batch)
                pair->caller->Seal(kVoiceType, voice.data(), kVoiceBytes, &packet);
            next = 0;
            state.ResumeTiming();
        }
        const auto& packet = batch[next++];
        if (!pair->callee->Open(packet.data(), int(packet.size()), &opened))
            std::abort();
        benchmark::DoNotOptimize(opened.payload.data());
    }
}
BENCHMARK(BM_OpenVoicePacket);

} // namespace
