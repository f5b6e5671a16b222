// Engine receive-path benchmark: datagrams per second from the socket into the state machine.
#include "CCallEngine.h"
#include "CCallSocket.h"
#include "Packets.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// The real receive path, decoder and playback (on the null output); the network,
// timers and report delivery are replaced by counters so only the engine is measured.
class BenchEngine : public CCallEngine {
public:
    ~BenchEngine() override { UnInitialize(); }
    long sent = 0;
    long reports = 0;

protected:
    bool CreateTaskWindow() override { return true; }
    void DestroyTaskWindow() override {}
    bool OpenSocket(int) override { return true; }
    void CloseSocket() override {}
    void SendPacket(uint8_t, const uint8_t*, int, const std::string&, int) override { ++sent; }
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    void PostStatus(int32_t) override { ++reports; }
    void PostText(const std::string&, const std::string&) override { ++reports; }
    void PostConnection(const std::string&, int32_t, const std::string&) override { ++reports; }
};

void Inject(BenchEngine& engine, const std::vector<uint8_t>& datagram, const std::string& address,
            int port) {
    engine.Socket()->InjectDatagram(datagram.data(), static_cast<int>(datagram.size()), address,
                                    port);
}

void BM_ReceiveKeepAlive(benchmark::State& state) {
    BenchEngine engine;
    if (!engine.Initialize(40000, "key")) {
        state.SkipWithError("Initialize failed");
        return;
    }
    const std::vector<uint8_t> keepAlive{PKT_KEEPALIVE};
    for (auto _ : state)
        Inject(engine, keepAlive, "127.0.0.1", 40001);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * 1);
}
BENCHMARK(BM_ReceiveKeepAlive);

// A 196-byte voice packet: GSM decode of one 120 ms frame, queue and write to the stream.
void BM_ReceiveVoice(benchmark::State& state) {
    BenchEngine engine;
    if (!engine.Initialize(40000, "key")) {
        state.SkipWithError("Initialize failed");
        return;
    }
    std::vector<uint8_t> voice(1 + VOICE_FRAME_BYTES);
    voice[0] = PKT_VOICE;
    for (std::size_t i = 1; i < voice.size(); ++i)
        voice[i] = static_cast<uint8_t>(i * 37);
    for (auto _ : state)
        Inject(engine, voice, "127.0.0.1", 40001);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(voice.size()));
}
BENCHMARK(BM_ReceiveVoice);

// A 201-byte encrypted voice packet: a fresh key schedule per packet, then as above.
void BM_ReceiveEncryptedVoice(benchmark::State& state) {
    BenchEngine engine;
    if (!engine.Initialize(40000, "TESSORA key") || !engine.EnableCryptography()) {
        state.SkipWithError("Initialize failed");
        return;
    }
    std::vector<uint8_t> voice(1 + VOICE_FRAME_ENCRYPTED_BYTES, 0x5a);
    voice[0] = PKT_VOICE_ENCRYPTED;
    for (auto _ : state)
        Inject(engine, voice, "127.0.0.1", 40001);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReceiveEncryptedVoice);

// Call requests from a rotating set of senders: each one is filed (or refreshed) in the
// bounded pending-call list and announced. Arg = distinct senders in the flood.
void BM_CallRequestFlood(benchmark::State& state) {
    BenchEngine engine;
    if (!engine.Initialize(40000, "key")) {
        state.SkipWithError("Initialize failed");
        return;
    }
    const int senders = static_cast<int>(state.range(0));
    std::vector<std::string> addresses;
    for (int i = 0; i < senders; ++i)
        addresses.push_back("10." + std::to_string(i / 65536) + "." +
                            std::to_string((i / 256) % 256) + "." + std::to_string(i % 256));
    std::vector<uint8_t> request =
        BuildCallRequestPayload("ID=flood&Password=x", CCallToken::Now());
    request.insert(request.begin(), PKT_CALL_REQUEST);
    std::size_t next = 0;
    for (auto _ : state) {
        Inject(engine, request, addresses[next], 5000 + static_cast<int>(next % 7));
        if (++next == addresses.size())
            next = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["pending"] = static_cast<double>(engine.PendingCalls().Size());
}
BENCHMARK(BM_CallRequestFlood)->Arg(1)->Arg(256)->Arg(100000);

} // namespace

int main(int argc, char** argv) {
    // Capture from silence and play to nothing: the benchmark measures code, not devices.
    qputenv("TAVRINO_CAPTURE", "silence");
    qputenv("TAVRINO_PLAYBACK", "null");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
