// SPDX-License-Identifier: GPL-3.0-or-later
// fuzz_engine: arbitrary packets, method calls, ticks and voice frames through the state machine.
#include "CCallEngine.h"
#include "CSecureCaller.h"
#include "CUdpSocket.h"
#include "IVoiceReceiver.h"
#include "Packets.h"
#include "TavrinoStandardApi.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The engine's platform, faked: nothing leaves the process; sends and reports are counted.
struct FuzzState {
    bool socketOk = true;
    int32_t mediaError = 0;
    long sent = 0;
    long reports = 0;
    int64_t now = 0;
    // The latest datagrams sent, for a second engine to receive.
    std::deque<std::pair<uint8_t, std::vector<uint8_t>>> outbox;
    std::vector<std::pair<std::string, int32_t>> announced;
    ICallTaskWindow::AnnouncementDelivery delivered;
};

struct FuzzSocket : ICallSocket {
    FuzzState& s;
    explicit FuzzSocket(FuzzState& state) : s(state) {}
    bool Open(int port, const std::string&, DatagramHandler) override {
        return s.socketOk && port >= 0 && port <= 65535;
    }
    void Close() override {}
    void Send(uint8_t type, const uint8_t* payload, int length, const std::string&, int) override {
        Check(length >= 0);
        Check(length == 0 || payload != nullptr);
        Check((type >= PKT_CALL_REQUEST && type <= PKT_REJECT && type != 2) ||
              (type >= PKT_SECURE_REQUEST && type <= PKT_SECURE_DATA));
        // Touch every byte so ASan sees an overread of the payload.
        volatile uint8_t sink = 0;
        for (int i = 0; i < length; ++i)
            sink = sink ^ payload[i];
        ++s.sent;
        if (s.outbox.size() >= 16)
            s.outbox.pop_front();
        s.outbox.emplace_back(type, std::vector<uint8_t>(payload, payload + length));
    }
    int LocalPort() const override { return 40000; }
    std::vector<std::string> AddressesOf(const std::string& address) override {
        static const CUdpSocket literals; // never opened: only its reading of literals
        return literals.AddressesOf(address);
    }
    Traffic Counters() const override { return {}; }
    void ClosePeriod() override {}
};

struct FuzzWindow : ICallTaskWindow {
    FuzzState& s;
    explicit FuzzWindow(FuzzState& state) : s(state) {}
    bool Create(TimerTick, ICallEventSink*, AnnouncementDelivery onDelivery) override {
        s.delivered = std::move(onDelivery);
        return true;
    }
    void Destroy() override {}
    void StartTimer(int id, int periodMs) override {
        Check(id >= 0 && id <= TIMER_NEXT_ADDRESS);
        Check(periodMs >= 0);
    }
    void StopTimer(int id) override { Check(id >= 0 && id <= TIMER_NEXT_ADDRESS); }
    void PostStatus(int32_t code) override {
        Check(code >= 50 && code <= 58);
        ++s.reports;
    }
    void PostText(const std::string&, const std::string&) override { ++s.reports; }
    void PostConnection(const std::string& address, int32_t port, const std::string& userData,
                        uint64_t attempt) override {
        Check(userData.find('\0') == std::string::npos);
        if (attempt != 0 && s.delivered)
            s.delivered(attempt, true);
        ++s.reports;
        s.announced.emplace_back(address, port);
    }
};

struct FuzzMedia : ICallMedia, IVoiceReceiver {
    FuzzState& s;
    explicit FuzzMedia(FuzzState& state) : s(state) {}
    void ApplySettings(const ControlSettings&) override {}
    int32_t Start(IVoiceFrameSink*) override { return s.mediaError; }
    void Stop() override {}
    void BeginCall(VoiceKind) override {}
    void EndCall() override {}
    IVoiceReceiver& Voice() override { return *this; }
    IVoiceReceiver& WidebandVoice() override { return *this; }
    void SetExpectedLoss(int percent) override { Check(percent >= 0 && percent <= 100); }
    std::optional<ReceivedVoice> ReceivedVoiceFigures() const override { return std::nullopt; }
    void Receive(const uint8_t* frame, int length) override {
        volatile uint8_t sink = 0;
        for (int i = 0; i < length; ++i)
            sink = sink ^ frame[i];
    }
    bool MuteMic(bool) override { return false; }
    void MuteSpk(bool) override {}
    void Tick() override {}
    void EnableDetection(int sensitivity, int silenceMs) override {
        Check(sensitivity >= 0 && sensitivity <= 255 && silenceMs >= 1000);
    }
    void DisableDetection() override {}
    bool IsDetecting() const override { return false; }
};

struct FuzzClock : ICallClock {
    FuzzState& s;
    explicit FuzzClock(FuzzState& state) : s(state) {}
    int64_t NowMs() const override { return s.now; }
};

struct FuzzParts {
    FuzzState state;
    CallPlatform Make() {
        CallPlatform p;
        p.socket = std::make_unique<FuzzSocket>(state);
        p.taskWindow = std::make_unique<FuzzWindow>(state);
        p.media = std::make_unique<FuzzMedia>(state);
        p.clock = std::make_unique<FuzzClock>(state);
        return p;
    }
};

class FuzzEngine : private FuzzParts, public CCallEngine {
public:
    FuzzEngine() : CCallEngine(nullptr, Make()) {}
    bool& socketOk = state.socketOk;
    int32_t& mediaError = state.mediaError;
    int64_t& now = state.now;
    std::deque<std::pair<uint8_t, std::vector<uint8_t>>>& outbox = state.outbox;
    std::vector<std::pair<std::string, int32_t>>& announced = state.announced;

    void CheckInvariants() const {
        const int32_t callState = State();
        Check(callState == STATE_IDLE || callState == STATE_PENDING || callState == STATE_CONNECTED);
        Check(PendingCalls().Size() <= CPendingCallList::kMaxEntries);
        Check(IsMediaActive() == (callState == STATE_CONNECTED));
        if (callState == STATE_IDLE) {
            Check(GetPeerAddress().empty());
            Check(GetPeerPort() == -1);
            Check(OwnToken().IsZero());
        }
        if (callState == STATE_CONNECTED)
            Check(OwnToken().IsZero());
        if (!IsInitialized())
            Check(callState == STATE_IDLE && PendingCalls().Size() == 0);
        Check((callState == STATE_IDLE) == (GetCallSecurity() == Tavrino::SECURITY_NONE));
        Check(SecureAttempts() <= kMaxSecureAttempts);
        Check(PendingSecureRequests() <= CSecureAttempts::kMaxPending);
    }
};

std::string PickAddress(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return "127.0.0.1";
    case 1:
        return "10.0.0.2";
    case 2:
        return "";
    default:
        return in.ConsumeRandomLengthString(20);
    }
}

int PickPort(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(40000, 40003)
                            : in.ConsumeIntegral<int>();
}

// Hands what `from` sent to `to` and back, as from 10.0.0.1 and 10.0.0.2, for `rounds`
// rounds; the one answering accepts every encrypted caller it hears with `password`.
void Exchange(FuzzEngine& from, FuzzEngine& to, const std::string& password, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        for (auto [a, b, address] : {std::tuple{&from, &to, "10.0.0.1"},
                                     std::tuple{&to, &from, "10.0.0.2"}}) {
            auto box = std::move(a->outbox);
            a->outbox.clear();
            for (const auto& [type, bytes] : box)
                b->OnPacket(address, 40000, type, bytes.empty() ? nullptr : bytes.data(),
                            static_cast<int>(bytes.size()));
            for (const auto& [ip, port] : b->announced)
                b->AcceptSecureCall(ip, port, password, 20);
            b->announced.clear();
        }
    }
}

} // namespace

// Callers with exchanges of their own send requests from one socket in any order
// (repeats, replacements); the engine accepts with the right or a wrong password;
// accepts and confirms travel back in any order. A call may connect only for the
// socket's latest attempt, and the engine then names that attempt's user.
void SeveralAttempts(FuzzEngine& engine, FuzzedDataProvider& in) {
    static const char* const kUsers[] = {"alice", "bob", "carol"};
    CSecureCaller callers[4];
    const char* users[4] = {};
    for (int i = 0; i < 4; ++i) {
        users[i] = kUsers[in.ConsumeIntegralInRange<int>(0, 2)];
        if (!callers[i].Start(users[i], std::string("pw-") + users[i]))
            return;
    }
    int latest = -1; // the caller whose request the socket sent last
    for (int step = in.ConsumeIntegralInRange<int>(0, 24); step > 0 && in.remaining_bytes() > 0;
         --step, engine.now += in.ConsumeIntegralInRange<int>(0, 4000)) {
        const int i = in.ConsumeIntegralInRange<int>(0, 3);
        const auto send = [&](uint8_t type, const std::vector<uint8_t>& bytes) {
            engine.OnPacket("10.0.0.7", 40007, type, bytes.data(), static_cast<int>(bytes.size()));
        };
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            send(PKT_SECURE_REQUEST, callers[i].RequestPayload());
            latest = i;
            break;
        case 1:
            engine.AcceptSecureCall("10.0.0.7", 40007,
                                    in.ConsumeBool() ? std::string("pw-") + users[i] : "wrong", 20);
            break;
        case 2: // the accepts sent so far reach caller i
            for (const auto& [type, bytes] : engine.outbox)
                if (type == PKT_SECURE_ACCEPT)
                    callers[i].OnAccept(bytes.data(), static_cast<int>(bytes.size()));
            break;
        default:
            if (callers[i].ConfirmPayload().empty() || engine.State() == CCallEngine::STATE_CONNECTED)
                break;
            send(PKT_SECURE_CONFIRM, callers[i].ConfirmPayload());
            if (engine.State() == CCallEngine::STATE_CONNECTED)
                Check(i == latest && engine.GetConfirmedUser() == users[i]);
            break;
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    FuzzEngine engine;
    // The far end of encrypted calls: its sealed packets reach the engine with keys.
    std::unique_ptr<FuzzEngine> peer;
    if (in.ConsumeBool())
        engine.Initialize(in.ConsumeIntegralInRange<int>(0, 65535),
                          in.ConsumeRandomLengthString(8));

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, 19)) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4: { // a datagram, the most common event
            const std::string address = PickAddress(in);
            const int port = PickPort(in);
            const auto type = in.ConsumeIntegral<uint8_t>();
            // Exact-size payload: reading past it is an error ASan reports. Up to the
            // longest secure request (307 bytes with its type) and a little beyond.
            const std::vector<uint8_t> payload =
                in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 320));
            engine.OnPacket(address, port, type, payload.empty() ? nullptr : payload.data(),
                            static_cast<int>(payload.size()));
            break;
        }
        case 5:
            engine.now += in.ConsumeIntegralInRange<int>(0, 30000);
            engine.OnTimerTick(in.ConsumeIntegralInRange<int>(-1, 9));
            break;
        case 6: {
            const std::string address = PickAddress(in);
            const int port = PickPort(in);
            engine.Connect(address, port, in.ConsumeRandomLengthString(40),
                           in.ConsumeIntegral<int32_t>());
            break;
        }
        case 7: {
            const std::string address = PickAddress(in);
            engine.AcceptIncomingCall(address, PickPort(in), in.ConsumeIntegral<int32_t>());
            break;
        }
        case 8: {
            const std::string address = PickAddress(in);
            engine.CancelIncomingCall(address, PickPort(in));
            break;
        }
        case 9:
            engine.Disconnect();
            break;
        case 10:
            engine.socketOk = in.ConsumeBool();
            engine.mediaError = in.ConsumeBool() ? 0 : 14;
            engine.Initialize(in.ConsumeIntegral<int32_t>(), in.ConsumeRandomLengthString(80));
            break;
        case 11:
            engine.UnInitialize();
            break;
        case 12:
            switch (in.ConsumeIntegralInRange<int>(0, 7)) {
            case 0:
                engine.EnableBusyState();
                break;
            case 1:
                engine.DisableBusyState();
                break;
            case 2:
                engine.EnableNotAvailableState();
                break;
            case 3:
                engine.DisableNotAvailableState();
                break;
            case 4:
                engine.EnableCryptography();
                break;
            case 5:
                engine.DisableCryptography();
                break;
            case 6:
                engine.EnableVoiceActivityDetection(in.ConsumeIntegral<int32_t>(),
                                                    in.ConsumeIntegral<int32_t>());
                break;
            default:
                engine.DisableVoiceActivityDetection();
                break;
            }
            break;
        case 13: {
            const std::vector<uint8_t> frame =
                in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 200));
            engine.Guard().SendVoiceFrame(frame.empty() ? nullptr : frame.data(),
                                          static_cast<int>(frame.size()));
            break;
        }
        case 14: {
            const std::string text = in.ConsumeRandomLengthString(64);
            engine.SendTextMsg(text, in.ConsumeRandomLengthString(64));
            break;
        }
        case 16: { // an encrypted call with a real far end, cut off after any round
            peer = std::make_unique<FuzzEngine>();
            peer->Initialize(40000, "");
            engine.outbox.clear();
            const bool calling = in.ConsumeBool();
            const std::string password = in.ConsumeBool() ? "pw" : in.ConsumeRandomLengthString(8);
            FuzzEngine& caller = calling ? engine : *peer;
            caller.ConnectSecure(calling ? "10.0.0.2" : "10.0.0.1", 40000, "u", "pw",
                                 in.ConsumeIntegral<int32_t>(),
                                 in.ConsumeBool() ? "ID=u&Password=pw" : "");
            Exchange(caller, calling ? *peer : engine, password, in.ConsumeIntegralInRange(0, 8));
            break;
        }
        case 17: { // the far end's next sealed packet, changed or not, from where it likes
            if (!peer)
                break;
            peer->outbox.clear();
            const std::vector<uint8_t> frame(VOICE_FRAME_BYTES, in.ConsumeIntegral<uint8_t>());
            if (in.ConsumeBool())
                peer->Guard().SendVoiceFrame(frame.data(), VOICE_FRAME_BYTES);
            else
                peer->SendTextMsg(in.ConsumeRandomLengthString(16), "");
            if (peer->outbox.empty())
                break;
            auto [type, bytes] = peer->outbox.back();
            if (!bytes.empty() && in.ConsumeBool())
                bytes[in.ConsumeIntegralInRange<size_t>(0, bytes.size() - 1)] ^=
                    in.ConsumeIntegralInRange<uint8_t>(1, 255);
            const std::string address = in.ConsumeBool() ? "10.0.0.2" : PickAddress(in);
            const int port = in.ConsumeBool() ? 40000 : PickPort(in);
            // Delivered twice: the copy must be refused by the replay window.
            for (int copy = 0; copy < 2; ++copy)
                engine.OnPacket(address, port, type, bytes.empty() ? nullptr : bytes.data(),
                                static_cast<int>(bytes.size()));
            break;
        }
        case 18: { // several encrypted attempts from one address and port
            SeveralAttempts(engine, in);
            break;
        }
        default: { // many callers at once
            const int count = in.ConsumeIntegralInRange<int>(0, 400);
            const auto token = in.ConsumeBytes<uint8_t>(8);
            for (int i = 0; i < count; ++i) {
                std::vector<uint8_t> request{'u', 0};
                request.insert(request.end(), token.begin(), token.end());
                engine.OnPacket("192.0.2.1", 1000 + i, PKT_CALL_REQUEST, request.data(),
                                static_cast<int>(request.size()));
            }
            break;
        }
        }
        engine.CheckInvariants();
    }
    return 0;
}
