// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the payload cipher per voice packet, and of its parts.
#include "CBlowfish.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kFrame = 195;
constexpr int kPayload = 200;
const char kKey[] = "TESSORA shared key text";

std::vector<uint8_t> Frame() {
    std::vector<uint8_t> frame(kFrame);
    for (int i = 0; i < kFrame; ++i) {
        frame[size_t(i)] = uint8_t(i * 37 + 11);
    }
    return frame;
}

const uint8_t* KeyBytes() {
    return reinterpret_cast<const uint8_t*>(kKey);
}
int KeyLength() {
    return int(std::strlen(kKey));
}

// What the sender did for every voice frame before contexts were kept per key:
// a fresh context, the key schedule, a 200-byte buffer and the encryption.
void BM_SendVoicePacketFreshKey(benchmark::State& state) {
    const auto frame = Frame();
    for (auto _ : state) {
        auto cipher = std::make_unique<CBlowfish>();
        cipher->SetKey(KeyBytes(), KeyLength());
        auto buffer = std::make_unique<uint8_t[]>(size_t(CBlowfish::PaddedLength(kFrame)));
        benchmark::DoNotOptimize(cipher->Encrypt(frame.data(), buffer.get(), kFrame));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SendVoicePacketFreshKey);

// What the sender does now: the context kept for the key, a buffer, the encryption.
void BM_SendVoicePacket(benchmark::State& state) {
    const auto frame = Frame();
    for (auto _ : state) {
        auto cipher = CBlowfish::ForKey(KeyBytes(), KeyLength());
        auto buffer = std::make_unique<uint8_t[]>(size_t(CBlowfish::PaddedLength(kFrame)));
        benchmark::DoNotOptimize(cipher->Encrypt(frame.data(), buffer.get(), kFrame));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SendVoicePacket);

// What the receiver did: a fresh context, the key schedule, a decryption.
void BM_ReceiveVoicePacketFreshKey(benchmark::State& state) {
    const auto frame = Frame();
    std::vector<uint8_t> payload(kPayload);
    {
        CBlowfish cipher;
        cipher.SetKey(KeyBytes(), KeyLength());
        cipher.Encrypt(frame.data(), payload.data(), kFrame);
    }
    for (auto _ : state) {
        auto cipher = std::make_unique<CBlowfish>();
        cipher->SetKey(KeyBytes(), KeyLength());
        auto buffer = std::make_unique<uint8_t[]>(kPayload);
        cipher->Decrypt(payload.data(), buffer.get(), kPayload);
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReceiveVoicePacketFreshKey);

// What the receiver does now: the context kept for the key, a decryption.
void BM_ReceiveVoicePacket(benchmark::State& state) {
    std::vector<uint8_t> payload(kPayload, 0x42);
    for (auto _ : state) {
        auto cipher = CBlowfish::ForKey(KeyBytes(), KeyLength());
        auto buffer = std::make_unique<uint8_t[]>(kPayload);
        cipher->Decrypt(payload.data(), buffer.get(), kPayload);
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReceiveVoicePacket);

void BM_ConstructContext(benchmark::State& state) {
    for (auto _ : state) {
        auto cipher = std::make_unique<CBlowfish>();
        benchmark::DoNotOptimize(cipher.get());
    }
}
BENCHMARK(BM_ConstructContext);

void BM_KeySchedule(benchmark::State& state) {
    CBlowfish cipher;
    std::vector<uint8_t> key(size_t(state.range(0)), 0x5A);
    for (auto _ : state) {
        cipher.SetKey(key.data(), int(key.size()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_KeySchedule)->Arg(1)->Arg(23)->Arg(72);

void BM_Encrypt200(benchmark::State& state) {
    const auto frame = Frame();
    std::vector<uint8_t> buffer(kPayload);
    CBlowfish cipher;
    cipher.SetKey(KeyBytes(), KeyLength());
    for (auto _ : state) {
        benchmark::DoNotOptimize(cipher.Encrypt(frame.data(), buffer.data(), kFrame));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kPayload);
}
BENCHMARK(BM_Encrypt200);

void BM_Decrypt200(benchmark::State& state) {
    std::vector<uint8_t> buffer(kPayload, 0x42);
    CBlowfish cipher;
    cipher.SetKey(KeyBytes(), KeyLength());
    for (auto _ : state) {
        cipher.Decrypt(buffer.data(), buffer.data(), kPayload);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kPayload);
}
BENCHMARK(BM_Decrypt200);

} // namespace
