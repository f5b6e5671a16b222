// SPDX-License-Identifier: GPL-3.0-or-later
// Engine benchmarks: the per-frame send and receive paths on real speech beside raw libgsm, and the
// state machine under floods.
#include "CAcmCodec.h"
#include "CBlowfish.h"
#include "CAudioSession.h"
#include "CCallEngine.h"
#include "CCallMedia.h"
#include "CCallSocket.h"
#include "CTaskWnd.h"
#include "Packets.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <gsm.h>
#include <sndfile.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const char* const kKey = "TESSORA key";
constexpr int kSamples = PCM_FRAME_BYTES / 2; // per voice frame

// The demo's remote microphone as whole voice frames: samples in host order for raw
// libgsm, the same as little-endian PCM bytes for the engine, and their GSM frames as
// one continuing encoder stream produced them (what a peer would send).
struct Speech {
    int frames = 0;
    std::vector<gsm_signal> samples;
    std::vector<uint8_t> pcm;
    std::vector<uint8_t> gsm;
    std::vector<uint8_t> gsmEncrypted; // each frame encrypted with kKey: 200 bytes
};

const Speech& LoadSpeech() {
    static const Speech speech = [] {
        Speech s;
        SF_INFO info{};
        SNDFILE* f = sf_open(TESSORA_DATA_DIR "/speech-remote.wav", SFM_READ, &info);
        if (!f || info.channels != 1 || info.samplerate != 8000)
            return s;
        s.frames = static_cast<int>(info.frames / kSamples);
        std::vector<short> samples(static_cast<size_t>(s.frames) * kSamples);
        sf_read_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(f);
        s.samples.assign(samples.begin(), samples.end());
        for (const short v : samples) {
            s.pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF));
            s.pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        }
        CAcmCodec encoder;
        encoder.Open(CAcmCodec::DIRECTION_ENCODE);
        s.gsm.resize(static_cast<size_t>(s.frames) * VOICE_FRAME_BYTES);
        s.gsmEncrypted.resize(static_cast<size_t>(s.frames) * VOICE_FRAME_ENCRYPTED_BYTES);
        CBlowfish cipher;
        cipher.SetKey(reinterpret_cast<const uint8_t*>(kKey), static_cast<int>(std::strlen(kKey)));
        for (int i = 0; i < s.frames; ++i) {
            uint8_t* gsm = s.gsm.data() + i * VOICE_FRAME_BYTES;
            encoder.Convert(gsm, s.pcm.data() + i * PCM_FRAME_BYTES);
            cipher.Encrypt(gsm, s.gsmEncrypted.data() + i * VOICE_FRAME_ENCRYPTED_BYTES,
                           VOICE_FRAME_BYTES);
        }
        return s;
    }();
    return speech;
}

bool NeedSpeech(benchmark::State& state) {
    if (LoadSpeech().frames > 0)
        return true;
    state.SkipWithError("cannot read " TESSORA_DATA_DIR "/speech-remote.wav");
    return false;
}

void SetFrameCounters(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    // How many times faster than real time one stream runs on one core.
    state.counters["x_realtime"] = benchmark::Counter(
        0.120 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// --- Raw libgsm: the floor ---------------------------------------------------------------

gsm CreateWav49() {
    gsm state = gsm_create();
    int one = 1;
    gsm_option(state, GSM_OPT_WAV49, &one);
    return state;
}

// Six libgsm calls per 120 ms frame on samples already in host order, no copies.
void BM_LibgsmEncode(benchmark::State& state) {
    if (!NeedSpeech(state))
        return;
    const Speech& speech = LoadSpeech();
    gsm codec = CreateWav49();
    gsm_byte out[VOICE_FRAME_BYTES];
    int f = 0;
    for (auto _ : state) {
        // libgsm takes a non-const pointer but does not write through it.
        gsm_signal* in = const_cast<gsm_signal*>(speech.samples.data()) + f * kSamples;
        for (int b = 0; b < 3; ++b) {
            gsm_encode(codec, in + b * 320, out + b * 65);
            gsm_encode(codec, in + b * 320 + 160, out + b * 65 + 32);
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
        f = (f + 1) % speech.frames;
    }
    gsm_destroy(codec);
    SetFrameCounters(state);
}
BENCHMARK(BM_LibgsmEncode);

void BM_LibgsmDecode(benchmark::State& state) {
    if (!NeedSpeech(state))
        return;
    const Speech& speech = LoadSpeech();
    gsm codec = CreateWav49();
    gsm_signal out[kSamples];
    int f = 0;
    for (auto _ : state) {
        gsm_byte* in = const_cast<gsm_byte*>(speech.gsm.data()) + f * VOICE_FRAME_BYTES;
        for (int b = 0; b < 3; ++b) {
            gsm_decode(codec, in + b * 65, out + b * 320);
            gsm_decode(codec, in + b * 65 + 33, out + b * 320 + 160);
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
        f = (f + 1) % speech.frames;
    }
    gsm_destroy(codec);
    SetFrameCounters(state);
}
BENCHMARK(BM_LibgsmDecode);

// --- Send path: real engine, real socket, loopback receiver -----------------------------

// A UDP socket on 127.0.0.1 whose thread drains and counts what arrives, so the sender
// always finds room, as a live peer would give it.
class LoopbackReceiver {
public:
    LoopbackReceiver() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof local;
        const int buffer = 4 << 20;
        const timeval tick{0, 50000};
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &size) != 0)
            return;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
        m_port = ntohs(local.sin_port);
        m_thread = std::thread([this] {
            uint8_t datagram[512];
            while (!m_stop.load())
                if (::recv(m_fd, datagram, sizeof datagram, 0) > 0)
                    m_received.fetch_add(1);
        });
    }
    ~LoopbackReceiver() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Port() const { return m_port; }
    // Datagrams received so far, once the stream has stopped arriving.
    long Settled() const {
        long last = -1;
        while (last != m_received.load()) {
            last = m_received.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return last;
    }

private:
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_received{0};
    std::thread m_thread;
};

// A control's engine on a platform of real parts (capture on silence, null playback from
// the environment main sets), its socket kept at hand to feed the receive path.
struct BenchControl {
    CAudioSession session;
    CCallSocket* socket = nullptr;
    CCallEngine engine;

    template <typename Socket, typename Window> static CallPlatform Make(BenchControl& c) {
        CallPlatform platform;
        auto socket = std::make_unique<Socket>();
        c.socket = socket.get();
        platform.socket = std::move(socket);
        platform.taskWindow = std::make_unique<Window>();
        platform.media = std::make_unique<CCallMedia>(c.session);
        platform.clock = std::make_unique<CSteadyClock>();
        return platform;
    }
    explicit BenchControl(CallPlatform (*make)(BenchControl&) = &Make<CCallSocket, CTaskWnd>)
        : engine(nullptr, make(*this)) {}
};

// An engine with its real platform, connected to `peerPort` on loopback: it calls there
// and the receiver's confirmation is fed through the socket's receive path. The
// microphone is muted so the capture thread's own frames do not join the measured stream.
bool ConnectEngine(BenchControl& control, int peerPort, bool encrypt) {
    CCallEngine& engine = control.engine;
    if (!engine.Initialize(0, kKey) || !engine.MuteMic(true))
        return false;
    if (encrypt ? !engine.EnableCryptography() : !engine.DisableCryptography())
        return false;
    if (!engine.Connect("127.0.0.1", peerPort, "ID=bench&Password=x", 20))
        return false;
    // The callee's acceptance, carrying the engine's own token, connects it.
    std::vector<uint8_t> accept = BuildTokenPayload(engine.OwnToken());
    accept.insert(accept.begin(), PKT_ACCEPT);
    control.socket->InjectDatagram(accept.data(), static_cast<int>(accept.size()), "127.0.0.1",
                                   peerPort);
    return engine.State() == CCallEngine::STATE_CONNECTED && engine.IsMediaActive();
}

void SetSendCounters(benchmark::State& state, const LoopbackReceiver& receiver, long before) {
    // Voice datagrams that reached the receiver per frame sent: shows the frames really
    // left through the socket (loopback may drop a few under load).
    state.counters["delivered"] =
        static_cast<double>(receiver.Settled() - before) / static_cast<double>(state.iterations());
}

// What the capture thread does per 120 ms: encode 1920 bytes of speech with the
// engine's codec, then SendVoiceFrame (encrypt when on, queue, sendto).
void BM_SendPath(benchmark::State& state, bool encrypt) {
    if (!NeedSpeech(state))
        return;
    const Speech& speech = LoadSpeech();
    LoopbackReceiver receiver;
    BenchControl control;
    if (receiver.Port() == 0 || !ConnectEngine(control, receiver.Port(), encrypt)) {
        state.SkipWithError("no connected engine on loopback");
        return;
    }
    CAcmCodec encoder;
    encoder.Open(CAcmCodec::DIRECTION_ENCODE);
    uint8_t frame[VOICE_FRAME_BYTES];
    const long before = receiver.Settled();
    int f = 0;
    for (auto _ : state) {
        encoder.Convert(frame, speech.pcm.data() + f * PCM_FRAME_BYTES);
        control.engine.Guard().SendVoiceFrame(frame, VOICE_FRAME_BYTES);
        f = (f + 1) % speech.frames;
    }
    SetFrameCounters(state);
    SetSendCounters(state, receiver, before);
}
BENCHMARK_CAPTURE(BM_SendPath, plain, false);
BENCHMARK_CAPTURE(BM_SendPath, encrypted, true);

// SendVoiceFrame alone on already encoded frames: the engine's share of the send path.
void BM_SendFrame(benchmark::State& state, bool encrypt) {
    if (!NeedSpeech(state))
        return;
    const Speech& speech = LoadSpeech();
    LoopbackReceiver receiver;
    BenchControl control;
    if (receiver.Port() == 0 || !ConnectEngine(control, receiver.Port(), encrypt)) {
        state.SkipWithError("no connected engine on loopback");
        return;
    }
    const long before = receiver.Settled();
    int f = 0;
    for (auto _ : state) {
        control.engine.Guard().SendVoiceFrame(speech.gsm.data() + f * VOICE_FRAME_BYTES,
                                              VOICE_FRAME_BYTES);
        f = (f + 1) % speech.frames;
    }
    state.SetItemsProcessed(state.iterations());
    SetSendCounters(state, receiver, before);
}
BENCHMARK_CAPTURE(BM_SendFrame, plain, false);
BENCHMARK_CAPTURE(BM_SendFrame, encrypted, true);

// One sendto of a 196-byte datagram on a plain socket: the kernel's share of the above.
void BM_RawSendto(benchmark::State& state) {
    LoopbackReceiver receiver;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(receiver.Port()));
    std::vector<uint8_t> datagram(1 + VOICE_FRAME_BYTES, 0x5a);
    for (auto _ : state)
        benchmark::DoNotOptimize(::sendto(fd, datagram.data(), datagram.size(), 0,
                                          reinterpret_cast<const sockaddr*>(&to), sizeof to));
    ::close(fd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawSendto);

// --- Receive path and state machine: network, timers and reports behind seams -----------

// The real receive path, decoder and playback (on the null output); what leaves and
// the report delivery are replaced by counters so only the engine is measured.
long g_sent = 0;
long g_reports = 0;

class CountingSocket : public CCallSocket {
public:
    bool Open(int, const std::string&, DatagramHandler onDatagram) override {
        return CCallSocket::Open(0, "127.0.0.1", std::move(onDatagram)); // nobody sends to it
    }
    void Send(uint8_t, const uint8_t*, int, const std::string&, int) override { ++g_sent; }
};

class CountingWindow : public ICallTaskWindow {
public:
    bool Create(TimerTick, ICallEventSink*, AnnouncementDelivery onDelivery) override {
        m_delivery = std::move(onDelivery);
        return true;
    }
    void Destroy() override {}
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    void PostStatus(int32_t) override { ++g_reports; }
    void PostText(const std::string&, const std::string&) override { ++g_reports; }
    void PostConnection(const std::string&, int32_t, const std::string&, uint64_t attempt) override {
        if (attempt != 0 && m_delivery)
            m_delivery(attempt, true);
        ++g_reports;
    }

private:
    AnnouncementDelivery m_delivery;
};

struct BenchEngine : BenchControl {
    BenchEngine() : BenchControl(&Make<CountingSocket, CountingWindow>) {}
};

void Inject(BenchEngine& bench, const std::vector<uint8_t>& datagram, const std::string& address,
            int port) {
    bench.socket->InjectDatagram(datagram.data(), static_cast<int>(datagram.size()), address, port);
}

// In a call with 127.0.0.1:40001, from which the receive benchmarks send: a station
// takes call traffic from its peer only.
bool InCall(BenchEngine& bench) {
    CCallEngine& engine = bench.engine;
    if (!engine.Connect("127.0.0.1", 40001, "ID=bench&Password=x", 20))
        return false;
    std::vector<uint8_t> accept = BuildTokenPayload(engine.OwnToken());
    accept.insert(accept.begin(), PKT_ACCEPT);
    Inject(bench, accept, "127.0.0.1", 40001);
    return engine.State() == CCallEngine::STATE_CONNECTED;
}

void BM_ReceiveKeepAlive(benchmark::State& state) {
    BenchEngine bench;
    if (!bench.engine.Initialize(40000, "key") || !InCall(bench)) {
        state.SkipWithError("Initialize failed");
        return;
    }
    const std::vector<uint8_t> keepAlive{PKT_KEEPALIVE};
    for (auto _ : state)
        Inject(bench, keepAlive, "127.0.0.1", 40001);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * 1);
}
BENCHMARK(BM_ReceiveKeepAlive);

// Voice datagrams of real speech, in stream order, as the peer sent them: decrypt when
// encrypted, GSM decode of one 120 ms frame, queue and write to the stream.
void ReceiveSpeech(benchmark::State& state, bool encrypted) {
    if (!NeedSpeech(state))
        return;
    const Speech& speech = LoadSpeech();
    BenchEngine bench;
    if (!bench.engine.Initialize(40000, kKey) || (encrypted && !bench.engine.EnableCryptography()) ||
        !InCall(bench)) {
        state.SkipWithError("Initialize failed");
        return;
    }
    g_reports = 0; // the call's own 51 and 53
    const int payload = encrypted ? VOICE_FRAME_ENCRYPTED_BYTES : VOICE_FRAME_BYTES;
    const uint8_t* frames = encrypted ? speech.gsmEncrypted.data() : speech.gsm.data();
    std::vector<std::vector<uint8_t>> datagrams;
    for (int i = 0; i < speech.frames; ++i) {
        std::vector<uint8_t> d{encrypted ? PKT_VOICE_ENCRYPTED : PKT_VOICE};
        d.insert(d.end(), frames + i * payload, frames + (i + 1) * payload);
        datagrams.push_back(std::move(d));
    }
    int f = 0;
    for (auto _ : state) {
        Inject(bench, datagrams[static_cast<size_t>(f)], "127.0.0.1", 40001);
        f = (f + 1) % speech.frames;
    }
    SetFrameCounters(state);
    state.SetBytesProcessed(state.iterations() * (payload + 1));
    state.counters["reports"] = static_cast<double>(g_reports); // 0: nothing refused
}

void BM_ReceiveVoice(benchmark::State& state) {
    ReceiveSpeech(state, false);
}
BENCHMARK(BM_ReceiveVoice);

// A fresh key schedule per packet, then as above.
void BM_ReceiveEncryptedVoice(benchmark::State& state) {
    ReceiveSpeech(state, true);
}
BENCHMARK(BM_ReceiveEncryptedVoice);

// Call requests from a rotating set of senders: each one is filed (or refreshed) in the
// bounded pending-call list and announced. Arg = distinct senders in the flood.
void BM_CallRequestFlood(benchmark::State& state) {
    BenchEngine bench;
    if (!bench.engine.Initialize(40000, "key")) {
        state.SkipWithError("Initialize failed");
        return;
    }
    const int senders = static_cast<int>(state.range(0));
    std::vector<std::string> addresses;
    for (int i = 0; i < senders; ++i)
        addresses.push_back("10." + std::to_string(i / 65536) + "." +
                            std::to_string((i / 256) % 256) + "." + std::to_string(i % 256));
    std::vector<uint8_t> request = BuildCallRequestPayload("ID=flood&Password=x", CCallToken{1, 2});
    request.insert(request.begin(), PKT_CALL_REQUEST);
    std::size_t next = 0;
    for (auto _ : state) {
        Inject(bench, request, addresses[next], 5000 + static_cast<int>(next % 7));
        if (++next == addresses.size())
            next = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["pending"] = static_cast<double>(bench.engine.PendingCalls().Size());
}
BENCHMARK(BM_CallRequestFlood)->Arg(1)->Arg(256)->Arg(100000);

// --- Ratios ------------------------------------------------------------------------------

// The console report, then the engine's CPU time per frame over raw libgsm's for the
// same frames (medians when repeated).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Iteration)
                m_cpu[run.run_name.str()].push_back(run.GetAdjustedCPUTime());
            else if (run.aggregate_name == "median") // the only figure when aggregates only
                m_median[run.run_name.str()] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const std::pair<const char*, const char*> pairs[] = {
            {"BM_SendPath/plain", "BM_LibgsmEncode"},
            {"BM_SendPath/encrypted", "BM_LibgsmEncode"},
            {"BM_ReceiveVoice", "BM_LibgsmDecode"},
            {"BM_ReceiveEncryptedVoice", "BM_LibgsmDecode"},
        };
        std::printf("\nCPU time per frame, engine over raw libgsm:\n");
        for (const auto& [engine, raw] : pairs)
            if (Has(engine) && Has(raw))
                std::printf("  %-26s / %-16s = %.2f\n", engine, raw, Median(engine) / Median(raw));
        if (Has("BM_SendPath/plain") && Has("BM_ReceiveVoice") && Has("BM_LibgsmEncode") &&
            Has("BM_LibgsmDecode"))
            std::printf("  %-45s = %.2f\n", "both paths, plain / encode + decode",
                        (Median("BM_SendPath/plain") + Median("BM_ReceiveVoice")) /
                            (Median("BM_LibgsmEncode") + Median("BM_LibgsmDecode")));
    }

private:
    bool Has(const std::string& name) const {
        return m_cpu.count(name) != 0 || m_median.count(name) != 0;
    }
    double Median(const std::string& name) {
        if (m_median.count(name) != 0)
            return m_median[name];
        std::vector<double>& v = m_cpu[name];
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    std::map<std::string, std::vector<double>> m_cpu;
    std::map<std::string, double> m_median;
};

} // namespace

int main(int argc, char** argv) {
    // Capture from silence and play to nothing: the benchmark measures code, not devices.
    qputenv("TAVRINO_CAPTURE", "silence");
    qputenv("TAVRINO_PLAYBACK", "null");
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
