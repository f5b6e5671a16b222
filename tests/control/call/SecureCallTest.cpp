// SPDX-License-Identifier: GPL-3.0-or-later
// Encrypted calls in the call state machine: two engines on the virtual clock.
#include "FakeCallEngine.h"

#include "CSecureCaller.h"
#include "TavrinoStandardApi.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Tavrino;

namespace {

const std::string kA = "10.0.0.1", kB = "10.0.0.2", kUser = "alice", kPassword = "correct horse";
constexpr int kAPort = 40001, kBPort = 33550;

std::vector<uint8_t> Frame(int seed) {
    std::vector<uint8_t> f(VOICE_FRAME_BYTES);
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>(seed * 31 + i);
    return f;
}

// A (kA) and B (kB), initialised.
struct Pair {
    FakeCallEngine a, b;
    Pair() {
        a.Initialize(kAPort, "");
        b.Initialize(kBPort, "");
    }
    void Pass() { Pump(a, kA, kAPort, b, kB, kBPort); }
    // A calls B securely; B sees the request and answers it with `password` ("": not yet).
    void Call(const std::string& password, const std::string& fallback = "") {
        ASSERT_TRUE(a.ConnectSecure(kB, kBPort, kUser, kPassword, 20, fallback));
        for (const auto& p : a.Sent())
            EXPECT_TRUE(p.type == PKT_SECURE_REQUEST &&
                        std::search(p.payload.begin(), p.payload.end(), kPassword.begin(),
                                    kPassword.end()) == p.payload.end());
        Pass();
        ASSERT_EQ(b.announcements.size(), 1u);
        EXPECT_EQ(b.announcements[0].userData, "ID=" + kUser); // no password
        EXPECT_EQ(b.GetRequestSecurity(kA, kAPort), SECURITY_ENCRYPTED);
        EXPECT_FALSE(b.AcceptIncomingCall(kA, kAPort, 20)); // only with the password
        if (!password.empty()) {
            ASSERT_TRUE(b.AcceptSecureCall(kA, kAPort, password, 20));
            Pass();
        }
    }
};

} // namespace

TEST(SecureCallEngine, EverythingTravelsSealedAndOnlyFreshAuthenticPacketsCount) {
    Pair p;
    p.Call(kPassword);
    for (FakeCallEngine* e : {&p.a, &p.b}) {
        EXPECT_EQ(e->statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_CONNECTED}));
        EXPECT_EQ(e->GetCallSecurity(), SECURITY_ENCRYPTED);
        e->statuses.clear();
    }
    EXPECT_EQ(p.a.GetSecureOutcome(), SECURE_OUTCOME_CONNECTED);
    p.a.Advance(3000); // three keep-alives and a call report
    p.a.SendTextMsg("hi", "there");
    const std::size_t beforeVoice = p.a.Sent().size();
    EXPECT_EQ(beforeVoice, 5u);
    std::vector<std::vector<uint8_t>> sealed;
    for (int i = 0; i < 200; ++i) {
        const auto frame = Frame(i);
        p.a.SendVoiceFrame(frame);
        sealed.push_back(p.a.Sent().back().payload);
    }
    for (const auto& sent : p.a.Sent())
        EXPECT_EQ(sent.type, PKT_SECURE_DATA);
    EXPECT_EQ(sealed[0].size() + 1, 221u); // a voice packet on the wire
    for (std::size_t i = 0; i < beforeVoice; ++i)
        p.b.Receive(kA, kAPort, PKT_SECURE_DATA, p.a.Sent()[i].payload);
    EXPECT_EQ(p.b.texts, (std::vector<std::pair<std::string, std::string>>{{"hi", "there"}}));

    enum Change { kAsSent, kTagBitFlipped, kCounterChanged };
    // Voice packet, change, the sender's port: played or dropped, and the peer's port after it.
    const std::tuple<int, Change, int, bool, int> rows[] = {
        {150, kAsSent, kAPort, true, kAPort},
        {150, kAsSent, kAPort, false, kAPort},        // replayed
        {149, kAsSent, kAPort, true, kAPort},         // late, inside the window
        {30, kAsSent, kAPort, true, kAPort},          // 120 below the highest counter
        {10, kAsSent, kAPort, false, kAPort},         // 140 below: too old
        {151, kTagBitFlipped, kAPort, false, kAPort}, // forged
        {151, kCounterChanged, kAPort, false, kAPort},
        {152, kAsSent, kAPort + 1, true, kAPort + 1}, // the caller's NAT moved it
        {151, kAsSent, kAPort, true, kAPort + 1},     // authentic but older: no move back
    };
    for (const auto& [index, change, fromPort, played, peerPort] : rows) {
        SCOPED_TRACE(testing::Message() << index << " change " << change);
        std::vector<uint8_t> datagram = sealed[static_cast<std::size_t>(index)];
        if (change == kTagBitFlipped)
            datagram.back() ^= 1;
        if (change == kCounterChanged)
            datagram[0] ^= 2;
        p.b.played.clear();
        p.b.Receive(kA, fromPort, PKT_SECURE_DATA, datagram);
        EXPECT_EQ(p.b.played.size(), played ? 1u : 0u);
        EXPECT_EQ(p.b.GetPeerPort(), peerPort);
    }
    // Sealed keep-alives hold the call; in clear nothing counts, not even from the peer.
    p.b.Advance(15000);
    p.a.ClearSent();
    p.a.Advance(3000);
    p.b.Receive(kA, kAPort + 1, PKT_SECURE_DATA, p.a.Sent()[0].payload);
    p.b.Advance(15000);
    for (uint8_t type : {PKT_VOICE, PKT_KEEPALIVE, PKT_HANGUP})
        p.b.Receive(kA, kAPort + 1, type, type == PKT_VOICE ? Frame(7) : std::vector<uint8_t>());
    EXPECT_EQ(p.b.State(), CCallEngine::STATE_CONNECTED);
    p.b.Advance(15000);
    EXPECT_EQ(p.b.statuses, std::vector<int32_t>{STATUS_CONNECTION_LOST});
}

TEST(SecureCallEngine, WidebandVoiceOnlyWhenBothOfferIt) {
    // A station that does not offer it stands for a first-edition peer: flags 0.
    const struct {
        bool caller, callee;
    } rows[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.caller << row.callee);
        Pair p;
        p.a.SetWidebandVoice(row.caller);
        p.b.SetWidebandVoice(row.callee);
        EXPECT_EQ(p.a.GetCallVoice(), VOICE_NONE);
        const auto sentOf = [](FakeCallEngine& e, uint8_t type) {
            const auto sent = e.Sent();
            const auto it = std::find_if(sent.begin(), sent.end(),
                                         [type](const auto& s) { return s.type == type; });
            return it == sent.end() ? std::vector<uint8_t>() : it->payload;
        };
        ASSERT_TRUE(p.a.ConnectSecure(kB, kBPort, kUser, kPassword, 20, ""));
        const std::vector<uint8_t> request = sentOf(p.a, PKT_SECURE_REQUEST);
        p.Pass();
        ASSERT_TRUE(p.b.AcceptSecureCall(kA, kAPort, kPassword, 20));
        const std::vector<uint8_t> accept = sentOf(p.b, PKT_SECURE_ACCEPT);
        p.Pass();
        const bool wideband = row.caller && row.callee;
        const VoiceKind kind = wideband ? VoiceKind::Wideband : VoiceKind::Narrowband;
        // The request's flags byte follows its version; the accept's follows the sid.
        ASSERT_TRUE(request.size() > 1 && accept.size() > SecureCall::kSidBytes + 1u);
        EXPECT_EQ(request[1] & SecureCall::kFlagWideband, row.caller ? 1 : 0);
        EXPECT_EQ(accept[SecureCall::kSidBytes + 1] & SecureCall::kFlagWideband, wideband ? 1 : 0);
        for (FakeCallEngine* e : {&p.a, &p.b}) {
            EXPECT_EQ(e->GetCallVoice(), wideband ? VOICE_WIDEBAND : VOICE_NARROWBAND);
            EXPECT_EQ(e->Media().calls, std::vector<VoiceKind>{kind});
        }
        // Wideband frames travel sealed as type 30 only in a call that agreed on them.
        p.b.played.clear();
        p.a.SendWidebandFrame(0xFFFF, {1, 2, 3});
        p.Pass();
        using Payloads = std::vector<std::vector<uint8_t>>;
        const Payloads played = wideband ? Payloads{{0xFF, 0xFF, 1, 2, 3}} : Payloads{};
        EXPECT_EQ(p.b.played, played);
        ASSERT_TRUE(p.a.Disconnect());
        p.Pass();
        for (FakeCallEngine* e : {&p.a, &p.b}) {
            EXPECT_EQ(e->GetCallVoice(), VOICE_NONE);
            EXPECT_EQ(e->Media().calls.size(), 2u); // and the end of the call
        }
    }
}

TEST(SecureCallEngine, ReportsGiveEachDirectionItsFiguresAndTheEncoderItsLoss) {
    // Every fifth datagram from A to B is lost; B to A is clean; 20 ms each way.
    Pair p;
    p.a.SetWidebandVoice(true);
    p.b.SetWidebandVoice(true);
    p.Call(kPassword);
    int aToB = 0;
    for (int ms = 0; ms < 12000; ms += 20) {
        p.a.SendWidebandFrame(static_cast<uint16_t>(ms / 20), std::vector<uint8_t>(60, 1));
        p.b.SendWidebandFrame(static_cast<uint16_t>(ms / 20), std::vector<uint8_t>(60, 2));
        const auto fromA = p.a.Sent(), fromB = p.b.Sent();
        p.a.ClearSent();
        p.b.ClearSent();
        p.a.Advance(20);
        p.b.Advance(20);
        for (const auto& d : fromA)
            if (++aToB % 5 != 0)
                p.b.Receive(kA, kAPort, d.type, d.payload);
        for (const auto& d : fromB)
            p.a.Receive(kB, kBPort, d.type, d.payload);
    }
    const auto field = [](const std::string& record, const std::string& key) {
        const std::size_t at = record.find(key + "=");
        return at == std::string::npos ? std::string("?")
                                       : record.substr(at + key.size() + 1,
                                                       record.find('&', at) - at - key.size() - 1);
    };
    const std::string a = p.a.GetCallStatistics(), b = p.b.GetCallStatistics();
    EXPECT_EQ(field(a, "reports"), "yes");
    EXPECT_NEAR(std::stod(field(b, "loss_in_pct")), 20.0, 0.2) << b;
    EXPECT_NEAR(std::stod(field(a, "loss_out_pct")), 20.0, 0.2) << a;
    EXPECT_EQ(field(a, "loss_in_pct"), "0.00");
    EXPECT_EQ(field(a, "rtt_ms"), "40") << a;
    EXPECT_EQ(p.a.Media().expectedLoss, 20);
    EXPECT_EQ(p.b.Media().expectedLoss, 2); // the least it expects
    ASSERT_TRUE(p.a.Disconnect());
    EXPECT_EQ(p.a.GetCallSummary().rfind("call: 0m12s rtt 40 ms loss in 0.0 % out 20.", 0), 0u)
        << p.a.GetCallSummary();

    // A stated call knows nothing the far end would have to report.
    Pair stated;
    ASSERT_TRUE(stated.a.Connect(kB, kBPort, "ID=x", 20));
    stated.Pass();
    ASSERT_TRUE(stated.b.AcceptIncomingCall(kA, kAPort, 20));
    stated.Pass();
    stated.a.Advance(4000);
    const std::string s = stated.a.GetCallStatistics();
    EXPECT_EQ(field(s, "encrypted") + field(s, "reports") + field(s, "rtt_ms") + field(s, "loss_out_pct"),
              "nono--") << s;
}

TEST(SecureCallEngine, EachAnswerEndsTheAttemptWithItsOutcome) {
    enum Answer { kWrongPassword, kRefused, kBusy, kNotAvailable, kSilent, kSilentMayFallBack };
    const std::tuple<Answer, int32_t, int32_t> rows[] = {
        {kWrongPassword, STATUS_CALL_REJECTED, SECURE_OUTCOME_PASSWORD_REFUSED},
        {kRefused, STATUS_CALL_REJECTED, SECURE_OUTCOME_REFUSED},
        {kBusy, STATUS_REMOTE_BUSY, SECURE_OUTCOME_ENDED},
        {kNotAvailable, STATUS_REMOTE_NOT_AVAILABLE, SECURE_OUTCOME_ENDED},
        {kSilent, STATUS_TIMEOUT, SECURE_OUTCOME_NO_ANSWER},
        {kSilentMayFallBack, STATUS_TIMEOUT, SECURE_OUTCOME_FELL_BACK},
    };
    for (const auto& [answer, status, outcome] : rows) {
        SCOPED_TRACE(answer);
        Pair p;
        if (answer == kBusy)
            p.b.EnableBusyState();
        if (answer == kNotAvailable)
            p.b.EnableNotAvailableState();
        const std::string fallback = answer == kSilentMayFallBack ? "ID=alice&Password=x" : "";
        ASSERT_TRUE(p.a.ConnectSecure(kB, kBPort, kUser, kPassword, 20, fallback));
        if (answer <= kNotAvailable) {
            p.Pass();
            EXPECT_TRUE(answer != kWrongPassword || p.b.AcceptSecureCall(kA, kAPort, "wrong", 20));
            EXPECT_TRUE(answer != kRefused || p.b.CancelIncomingCall(kA, kAPort));
            p.Pass();
        } else {
            p.a.Advance(20000);
        }
        EXPECT_EQ(p.a.statuses, (std::vector<int32_t>{STATUS_CALLING, status}));
        EXPECT_EQ(p.a.GetSecureOutcome(), outcome);
        EXPECT_EQ(p.a.State(), CCallEngine::STATE_IDLE);
        if (answer >= kSilent) {
            // Requests at 0, 3, ..., 18 s: encrypted twice and then, where allowed, stated.
            std::string types;
            for (const auto& sent : p.a.Sent())
                types += std::to_string(sent.type) + " ";
            EXPECT_EQ(types, answer == kSilent ? "20 20 20 20 20 20 20 " : "20 20 1 1 1 1 1 ");
            const auto third = p.a.Sent()[2].payload;
            EXPECT_TRUE(answer == kSilent ||
                        ReadCallRequest(third.data(), static_cast<int>(third.size())).userData ==
                            fallback);
        }
        if (answer == kWrongPassword) { // never confirmed: the host's attempt times out
            p.b.Advance(20000);
            EXPECT_EQ(p.b.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_TIMEOUT}));
            EXPECT_EQ(p.b.SecureAttempts(), 0u);
        }
    }
}

TEST(SecureCallEngine, AttemptsAreKnownByAddressPortAndSidAndTheFirstToConfirmWins) {
    const std::string kC = "10.0.0.3", kSpy = "10.9.9.9";
    Pair p; // A guesses; C knows the password
    FakeCallEngine c;
    ASSERT_TRUE(c.Initialize(kAPort, ""));
    // What was sent to `toIp`, handed to `to` as coming from `fromIp`.
    const auto deliver = [](const std::vector<SentPacket>& sent, const std::string& toIp,
                            FakeCallEngine& to, const std::string& fromIp, int fromPort) {
        for (const auto& s : sent)
            if (s.address == toIp)
                to.Receive(fromIp, fromPort, s.type, s.payload);
    };
    const auto acceptsTo = [&](const std::string& to) {
        const auto sent = p.b.SentOfType(PKT_SECURE_ACCEPT);
        return std::count_if(sent.begin(), sent.end(),
                             [&](const SentPacket& s) { return s.address == to; });
    };
    ASSERT_TRUE(p.a.ConnectSecure(kB, kBPort, kUser, "a guess", 20, ""));
    ASSERT_TRUE(c.ConnectSecure(kB, kBPort, kUser, kPassword, 20, ""));
    // A copy of C's request seen and sent first from elsewhere is an attempt of its own;
    // each caller's repeats are announced once.
    deliver(c.Sent(), kB, p.b, kSpy, kAPort);
    for (int copy = 0; copy < 3; ++copy)
        for (auto [from, ip] : {std::pair{&p.a, kA}, std::pair{&c, kC}})
            deliver(from->Sent(), kB, p.b, ip, kAPort);
    ASSERT_EQ(p.b.announcements.size(), 3u);
    for (const std::string& ip : {kSpy, kA, kC})
        ASSERT_TRUE(p.b.AcceptSecureCall(ip, kAPort, kPassword, 20)); // never 12: nobody is held
    EXPECT_EQ(p.b.State(), CCallEngine::STATE_IDLE);
    EXPECT_EQ(p.b.SecureAttempts(), 3u);
    // 40 repeats within 2 s bring no accept more; the first after 3 s brings one.
    for (int i = 0; i < 40; ++i, p.b.Advance(50))
        deliver(c.Sent(), kB, p.b, kC, kAPort);
    EXPECT_EQ(acceptsTo(kC), CCallEngine::kAcceptCopies);
    p.b.Advance(1000);
    for (int i = 0; i < 2; ++i)
        deliver(c.Sent(), kB, p.b, kC, kAPort);
    EXPECT_EQ(acceptsTo(kC), CCallEngine::kAcceptCopies + 1);
    const auto accepts = p.b.Sent();
    c.ClearSent();
    deliver(accepts, kC, c, kB, kBPort);
    deliver(c.Sent(), kB, p.b, kC, kAPort);
    EXPECT_EQ(p.b.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_EQ(p.b.GetPeerAddress(), kC);
    EXPECT_EQ(p.b.GetConfirmedUser(), kUser);
    EXPECT_EQ(p.b.SecureAttempts(), 0u);
    // The guesser's accept fails its tag: it ends at once and sends nothing more.
    p.a.ClearSent();
    deliver(accepts, kA, p.a, kB, kBPort);
    EXPECT_EQ(p.a.GetSecureOutcome(), SECURE_OUTCOME_PASSWORD_REFUSED);
    EXPECT_TRUE(p.a.Sent().empty());
    // C hangs up with its last report and three sealed hang-ups (one lost must not keep B
    // in the call); B hears the first and ends once.
    c.ClearSent();
    ASSERT_TRUE(c.Disconnect());
    ASSERT_EQ(c.Sent().size(), 4u);
    for (const auto& sent : c.Sent())
        EXPECT_EQ(sent.type, PKT_SECURE_DATA);
    p.b.statuses.clear();
    deliver(c.Sent(), kB, p.b, kC, kAPort);
    EXPECT_EQ(p.b.statuses, std::vector<int32_t>{STATUS_REMOTE_DISCONNECTED});
    EXPECT_EQ(p.b.GetCallSecurity(), SECURITY_NONE);
}

TEST(SecureCallEngine, MalformedSecurePacketsChangeNothingInAnyState) {
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
                for (bool party : {true, false}) {
                    SCOPED_TRACE(testing::Message() << phase << " " << int(type) << " " << length);
                    Pair p; // the engine is A but while answering, where it is B
                    FakeCallEngine& e = phase == 2 ? p.b : p.a;
                    if (phase == 1)
                        p.a.ConnectSecure(kB, kBPort, kUser, kPassword, 20, "");
                    if (phase >= 2)
                        p.Call(phase == 2 ? std::string() : kPassword);
                    EXPECT_TRUE(phase != 2 || e.AcceptSecureCall(kA, kAPort, kPassword, 20));
                    const auto before = std::tuple{e.State(), e.statuses, e.announcements.size()};
                    e.ClearSent();
                    e.Receive(party ? (phase == 2 ? kA : kB) : "10.6.6.6",
                              phase == 2 ? kAPort : kBPort, type,
                              std::vector<uint8_t>(static_cast<std::size_t>(length), 0));
                    EXPECT_EQ(before, (std::tuple{e.State(), e.statuses, e.announcements.size()}));
                    EXPECT_TRUE(e.Sent().empty());
                }
            }
        }
    }
}

TEST(SecureCallEngine, AReplacedRequestIsNeverAnsweredWithTheAnswerMeantForTheOneBefore) {
    Pair p;
    p.b.holdAnnouncements = true;
    CSecureCaller bob, alice, third;
    ASSERT_TRUE(bob.Start("bob", "pw2") && alice.Start(kUser, kPassword) && third.Start("c", "x"));
    // From one socket: bob's request, then alice's, which replaces it before the station
    // has read bob's announcement. Bob's password must not answer alice's exchange.
    p.b.Receive(kA, kAPort, PKT_SECURE_REQUEST, bob.RequestPayload());
    p.b.Receive(kA, kAPort, PKT_SECURE_REQUEST, alice.RequestPayload());
    p.b.DeliverNext();
    EXPECT_TRUE(!p.b.AcceptSecureCall(kA, kAPort, "pw2", 20) && p.b.GetObjectError() == ERR_NO_SUCH_CALL);
    p.b.DeliverNext();
    ASSERT_TRUE(p.b.AcceptSecureCall(kA, kAPort, kPassword, 20));
    // A new sid from that socket replaces the accepted attempt: its confirm no longer counts.
    const auto accepts = p.b.SentOfType(PKT_SECURE_ACCEPT);
    ASSERT_EQ(alice.OnAccept(accepts[0].payload.data(), static_cast<int>(accepts[0].payload.size())),
              CSecureCaller::Answer::Accepted);
    p.b.Receive(kA, kAPort, PKT_SECURE_REQUEST, third.RequestPayload());
    p.b.Receive(kA, kAPort, PKT_SECURE_CONFIRM, alice.ConfirmPayload());
    EXPECT_EQ(p.b.State(), CCallEngine::STATE_IDLE);
    // Refused: one reject per attempt, one a second per address; a held-back one leaves
    // the attempt to be announced again at its next repeat.
    p.b.DeliverNext();
    ASSERT_TRUE(p.b.CancelIncomingCall(kA, kAPort));
    p.b.Receive(kA, kAPort, PKT_SECURE_REQUEST, third.RequestPayload());
    p.b.Receive(kA, kAPort + 1, PKT_SECURE_REQUEST, bob.RequestPayload());
    p.b.DeliverNext();
    ASSERT_TRUE(p.b.CancelIncomingCall(kA, kAPort + 1));
    EXPECT_EQ(p.b.SentOfType(PKT_SECURE_REJECT).size(), 1u);
    p.b.Advance(1000);
    p.b.Receive(kA, kAPort + 1, PKT_SECURE_REQUEST, bob.RequestPayload()); // announced again
    p.b.DeliverNext();
    ASSERT_TRUE(p.b.CancelIncomingCall(kA, kAPort + 1));
    EXPECT_EQ(p.b.SentOfType(PKT_SECURE_REJECT).size(), 2u);
    EXPECT_TRUE(p.b.held.empty());
}
