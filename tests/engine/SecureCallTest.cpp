// Encrypted calls in the call state machine: two engines on the virtual clock.
#include "FakeCallEngine.h"

#include "TavrinoStandardApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

using namespace Tavrino;

namespace {

const std::string kA = "10.0.0.1";
constexpr int kAPort = 40001;
const std::string kB = "10.0.0.2";
constexpr int kBPort = 33550;
const std::string kUser = "alice";
const std::string kPassword = "correct horse";

std::vector<uint8_t> Frame(int seed) {
    std::vector<uint8_t> f(VOICE_FRAME_BYTES);
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>(seed * 31 + i);
    return f;
}

bool Holds(const std::vector<uint8_t>& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

class SecureCallEngine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(a.Initialize(kAPort, ""));
        ASSERT_TRUE(b.Initialize(kBPort, ""));
    }
    void Pass() { Pump(a, kA, kAPort, b, kB, kBPort); }
    // A calls B securely; B sees the request and answers with `password`.
    void Call(const std::string& password, const std::string& fallback = "") {
        ASSERT_TRUE(a.ConnectSecure(kB, kBPort, kUser, kPassword, 20, fallback));
        for (const auto& p : a.Sent())
            EXPECT_TRUE(p.type == PKT_SECURE_REQUEST && !Holds(p.payload, kPassword) &&
                        !Holds(p.payload, "ID="));
        Pass();
        ASSERT_EQ(b.announcements.size(), 1u);
        EXPECT_EQ(b.announcements[0].userData, "ID=" + kUser);
        EXPECT_EQ(b.GetRequestSecurity(kA, kAPort), SECURITY_ENCRYPTED);
        EXPECT_FALSE(b.AcceptIncomingCall(kA, kAPort, 20)); // only with the password
        ASSERT_TRUE(b.AcceptSecureCall(kA, kAPort, password, 20));
        Pass();
    }
    void Connect() {
        Call(kPassword);
        ASSERT_EQ(a.State(), CCallEngine::STATE_CONNECTED);
        ASSERT_EQ(b.State(), CCallEngine::STATE_CONNECTED);
        a.statuses.clear();
        b.statuses.clear();
    }

    FakeCallEngine a;
    FakeCallEngine b;
};

} // namespace

TEST_F(SecureCallEngine, ConnectsAndSealsEveryPacketOfTheCall) {
    Call(kPassword);
    for (FakeCallEngine* e : {&a, &b}) {
        EXPECT_EQ(e->statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_CONNECTED}));
        EXPECT_EQ(e->GetCallSecurity(), SECURITY_ENCRYPTED);
    }
    EXPECT_EQ(a.GetSecureOutcome(), SECURE_OUTCOME_CONNECTED);
    EXPECT_EQ(b.GetPeerAddress(), kA);
    EXPECT_EQ(b.GetPeerPort(), kAPort);

    a.Advance(3000); // keep-alives
    b.Advance(3000);
    const auto frame = Frame(1);
    a.SendVoiceFrame(0, frame.data(), VOICE_FRAME_BYTES);
    a.SendTextMsg("hi", "there");
    for (FakeCallEngine* e : {&a, &b})
        for (const auto& p : e->Sent())
            EXPECT_EQ(p.type, PKT_SECURE_DATA);
    EXPECT_EQ(a.SentOfType(PKT_SECURE_DATA)[3].payload.size() + 1, 221u); // a voice packet
    Pass();
    EXPECT_EQ(b.played, std::vector<std::vector<uint8_t>>{frame});
    EXPECT_EQ(b.texts, (std::vector<std::pair<std::string, std::string>>{{"hi", "there"}}));
    for (int i = 0; i < 10; ++i) { // sealed keep-alives hold the call past supervision
        a.Advance(3000);
        b.Advance(3000);
        Pass();
    }
    EXPECT_EQ(b.State(), CCallEngine::STATE_CONNECTED);

    ASSERT_TRUE(a.Disconnect());
    ASSERT_EQ(a.Sent().size(), 1u);
    EXPECT_EQ(a.Sent()[0].type, PKT_SECURE_DATA); // the hang-up, sealed
    Pass();
    EXPECT_EQ(b.statuses.back(), STATUS_REMOTE_DISCONNECTED);
    EXPECT_EQ(b.GetCallSecurity(), SECURITY_NONE);
}

TEST_F(SecureCallEngine, EachAnswerEndsTheAttemptWithItsOutcome) {
    enum Answer { kWrongPassword, kRefused, kBusy, kNotAvailable, kSilent, kSilentMayFallBack };
    const std::tuple<Answer, int32_t, int32_t> rows[] = {
        {kWrongPassword, STATUS_CALL_REJECTED, SECURE_OUTCOME_PASSWORD_REFUSED},
        {kRefused, STATUS_CALL_REJECTED, SECURE_OUTCOME_ENDED},
        {kBusy, STATUS_REMOTE_BUSY, SECURE_OUTCOME_ENDED},
        {kNotAvailable, STATUS_REMOTE_NOT_AVAILABLE, SECURE_OUTCOME_ENDED},
        {kSilent, STATUS_TIMEOUT, SECURE_OUTCOME_NO_ANSWER},
        {kSilentMayFallBack, STATUS_TIMEOUT, SECURE_OUTCOME_FELL_BACK},
    };
    for (const auto& [answer, status, outcome] : rows) {
        SCOPED_TRACE(answer);
        FakeCallEngine caller;
        FakeCallEngine host;
        ASSERT_TRUE(caller.Initialize(kAPort, ""));
        ASSERT_TRUE(host.Initialize(kBPort, ""));
        if (answer == kBusy)
            host.EnableBusyState();
        if (answer == kNotAvailable)
            host.EnableNotAvailableState();
        const std::string fallback = answer == kSilentMayFallBack ? "ID=alice&Password=x" : "";
        ASSERT_TRUE(caller.ConnectSecure(kB, kBPort, kUser, kPassword, 20, fallback));
        if (answer <= kNotAvailable) {
            Pump(caller, kA, kAPort, host, kB, kBPort);
            if (answer == kWrongPassword) {
                ASSERT_TRUE(host.AcceptSecureCall(kA, kAPort, "wrong", 20));
            }
            if (answer == kRefused) {
                ASSERT_TRUE(host.CancelIncomingCall(kA, kAPort));
            }
            Pump(caller, kA, kAPort, host, kB, kBPort);
        } else {
            caller.Advance(20000);
        }
        EXPECT_EQ(caller.statuses, (std::vector<int32_t>{STATUS_CALLING, status}));
        EXPECT_EQ(caller.GetSecureOutcome(), outcome);
        EXPECT_EQ(caller.State(), CCallEngine::STATE_IDLE);
        if (answer >= kSilent) {
            // Requests at 0, 3, ..., 18 s: encrypted twice and then, where allowed, stated.
            std::string types;
            for (const auto& p : caller.Sent())
                types += std::to_string(p.type) + " ";
            EXPECT_EQ(types, answer == kSilent ? "20 20 20 20 20 20 20 " : "20 20 1 1 1 1 1 ");
            if (answer == kSilentMayFallBack) {
                const auto stated = caller.Sent()[2].payload;
                EXPECT_EQ(ReadCallRequest(stated.data(), static_cast<int>(stated.size())).userData,
                          fallback);
            }
        }
        if (answer == kWrongPassword) {
            // The host's attempt was never confirmed: it ends by the time-out, unconnected.
            host.Advance(20000);
            EXPECT_EQ(host.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_TIMEOUT}));
            EXPECT_EQ(host.SecureAttempts(), 0u);
        }
    }
}

TEST_F(SecureCallEngine, AcceptedAttemptsLeaveTheHostFreeAndTheFirstToConfirmWins) {
    const std::string kC = "10.0.0.3";
    FakeCallEngine c;
    ASSERT_TRUE(c.Initialize(kAPort, ""));
    // What `from` sent to `toIp`, handed to `to` as coming from `fromIp`.
    const auto deliver = [](const std::vector<SentPacket>& sent, const std::string& toIp,
                            FakeCallEngine& to, const std::string& fromIp, int fromPort) {
        for (const auto& p : sent)
            if (p.address == toIp)
                to.Receive(fromIp, fromPort, p.type, p.payload);
    };
    ASSERT_TRUE(a.ConnectSecure(kB, kBPort, kUser, "a guess", 20, ""));
    ASSERT_TRUE(c.ConnectSecure(kB, kBPort, kUser, kPassword, 20, ""));
    for (auto [from, ip] : {std::pair{&a, kA}, std::pair{&c, kC}}) {
        deliver(from->Sent(), kB, b, ip, kAPort);
        ASSERT_TRUE(b.AcceptSecureCall(ip, kAPort, kPassword, 20)); // never 12: nobody is held
    }
    EXPECT_EQ(b.State(), CCallEngine::STATE_IDLE);
    EXPECT_EQ(b.SecureAttempts(), 2u);
    const auto accepts = b.Sent();
    c.ClearSent();
    deliver(accepts, kC, c, kB, kBPort);
    deliver(c.Sent(), kB, b, kC, kAPort);
    EXPECT_EQ(b.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_EQ(b.GetPeerAddress(), kC);
    EXPECT_EQ(b.SecureAttempts(), 0u);
    // The guesser's accept fails its tag: it ends at once and sends nothing more.
    a.ClearSent();
    deliver(accepts, kA, a, kB, kBPort);
    EXPECT_EQ(a.GetSecureOutcome(), SECURE_OUTCOME_PASSWORD_REFUSED);
    EXPECT_TRUE(a.Sent().empty());
}

TEST_F(SecureCallEngine, OnlyFreshAuthenticPacketsCountAndTheNewestMovesThePeer) {
    Connect();
    a.ClearSent();
    std::vector<std::vector<uint8_t>> sealed;
    for (int i = 0; i < 200; ++i) {
        const auto frame = Frame(i);
        a.SendVoiceFrame(0, frame.data(), VOICE_FRAME_BYTES);
        sealed.push_back(a.Sent().back().payload);
    }
    enum Change { kAsSent, kTagBitFlipped, kCounterChanged };
    // Counter, change, the sender's port: played or dropped, and the peer's port after it.
    const std::tuple<int, Change, int, bool, int> rows[] = {
        {150, kAsSent, kAPort, true, kAPort},
        {150, kAsSent, kAPort, false, kAPort},        // replayed
        {149, kAsSent, kAPort, true, kAPort},         // late, inside the window
        {30, kAsSent, kAPort, true, kAPort},          // 120 below the highest
        {10, kAsSent, kAPort, false, kAPort},         // 140 below: too old
        {151, kTagBitFlipped, kAPort, false, kAPort}, // forged
        {151, kCounterChanged, kAPort, false, kAPort},
        {152, kAsSent, kAPort + 1, true, kAPort + 1}, // the caller's NAT moved it
        {151, kAsSent, kAPort, true, kAPort + 1},     // authentic but older: no move back
    };
    for (const auto& [counter, change, fromPort, played, peerPort] : rows) {
        SCOPED_TRACE(testing::Message() << counter << " change " << change);
        std::vector<uint8_t> datagram = sealed[static_cast<std::size_t>(counter)];
        if (change == kTagBitFlipped)
            datagram.back() ^= 1;
        if (change == kCounterChanged)
            datagram[0] ^= 2;
        b.played.clear();
        b.Receive(kA, fromPort, PKT_SECURE_DATA, datagram);
        EXPECT_EQ(b.played.size(), played ? 1u : 0u);
        EXPECT_EQ(b.GetPeerPort(), peerPort);
    }
    // In clear nothing counts during an encrypted call, even from the peer.
    b.Advance(15000);
    b.Receive(kA, kAPort + 1, PKT_VOICE, Frame(7));
    b.Receive(kA, kAPort + 1, PKT_KEEPALIVE);
    b.Receive(kA, kAPort + 1, PKT_HANGUP);
    EXPECT_EQ(b.State(), CCallEngine::STATE_CONNECTED);
    b.Advance(15000);
    EXPECT_EQ(b.statuses, std::vector<int32_t>{STATUS_CONNECTION_LOST});
}

TEST(SecureCallEngineGarbage, MalformedSecurePacketsChangeNothingInAnyState) {
    // Zero-filled payloads of each type's length and one byte either side, from the
    // party and from a stranger: a zero sid or share must match nothing anywhere.
    const std::pair<uint8_t, int> types[] = {
        {PKT_SECURE_REQUEST, SecureCall::kRequestFixedBytes + 2},
        {PKT_SECURE_ACCEPT, SecureCall::kAcceptBytes},
        {PKT_SECURE_CONFIRM, SecureCall::kConfirmBytes},
        {PKT_SECURE_REJECT, SecureCall::kRejectBytes},
        {PKT_SECURE_DATA, SecureCall::kDataOverheadBytes + 1}};
    for (int phase = 0; phase < 4; ++phase) { // idle, calling, answering, connected
        for (const auto& [type, size] : types) {
            for (int length : {0, size - 1, size, size + 1}) {
                for (const std::string& from : {kB, std::string("10.6.6.6")}) {
                    SCOPED_TRACE(testing::Message() << "phase " << phase << " type " << int(type)
                                                    << " length " << length << " from " << from);
                    FakeCallEngine e;
                    FakeCallEngine peer;
                    ASSERT_TRUE(e.Initialize(kAPort, ""));
                    ASSERT_TRUE(peer.Initialize(kBPort, ""));
                    if (phase == 1 || phase == 3) {
                        ASSERT_TRUE(e.ConnectSecure(kB, kBPort, kUser, kPassword, 20, ""));
                    }
                    if (phase == 2) {
                        ASSERT_TRUE(peer.ConnectSecure(kA, kAPort, kUser, kPassword, 20, ""));
                        Pump(peer, kB, kBPort, e, kA, kAPort);
                        ASSERT_TRUE(e.AcceptSecureCall(kB, kBPort, kPassword, 20));
                    }
                    if (phase == 3) {
                        Pump(e, kA, kAPort, peer, kB, kBPort);
                        ASSERT_TRUE(peer.AcceptSecureCall(kA, kAPort, kPassword, 20));
                        Pump(e, kA, kAPort, peer, kB, kBPort);
                    }
                    const int32_t state = e.State();
                    const auto statuses = e.statuses.size();
                    const auto announced = e.announcements.size();
                    e.ClearSent();
                    e.Receive(from, kBPort, type,
                              std::vector<uint8_t>(static_cast<std::size_t>(length), 0));
                    EXPECT_EQ(e.State(), state);
                    EXPECT_EQ(e.statuses.size(), statuses);
                    EXPECT_EQ(e.announcements.size(), announced);
                    EXPECT_TRUE(e.Sent().empty());
                }
            }
        }
    }
}
