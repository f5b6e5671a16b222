// SPDX-License-Identifier: GPL-3.0-or-later
// Call state machine tests: the engine driven at full speed through fake socket, timers, reports.
#include "FakeCallEngine.h"

#include "CBlowfish.h"
#include "CCallToken.h"
#include "NetAddress.h"
#include "Packets.h"
#include "TavrinoStandardApi.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

using namespace Tavrino;

namespace {

const std::string kCallerIp = "10.0.0.1";
constexpr int kCallerPort = 40001;
const std::string kHostIp = "10.0.0.2";
constexpr int kHostPort = 33550;


std::vector<uint8_t> RequestPayload(const std::string& userData, const CCallToken& token) {
    return BuildCallRequestPayload(userData, token);
}

std::vector<uint8_t> Frame(uint8_t seed) {
    std::vector<uint8_t> f(VOICE_FRAME_BYTES);
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>(seed + i * 7);
    return f;
}

class EngineTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.Initialize(kHostPort, "secret"));
        engine.ClearSent();
    }

    // Caller side: a call placed and answered with its own token.
    void ConnectAsCaller(int timeOut = 20) {
        ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "ID=a&Password=b", timeOut));
        engine.Receive(kHostIp, kHostPort, PKT_ACCEPT, BuildTokenPayload(engine.OwnToken()));
        ASSERT_EQ(engine.State(), CCallEngine::STATE_CONNECTED);
        engine.ClearSent();
        engine.statuses.clear();
    }

    FakeCallEngine engine;
};

} // namespace

// --- Caller ------------------------------------------------------------------------------

TEST_F(EngineTest, UnansweredCallRepeatsRequestSevenTimesThenTimesOut) {
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "abc", 20));
    const CCallToken own = engine.OwnToken();
    EXPECT_FALSE(own.IsZero());
    EXPECT_EQ(engine.statuses, std::vector<int32_t>{STATUS_CALLING});
    EXPECT_EQ(engine.State(), CCallEngine::STATE_PENDING);
    EXPECT_EQ(engine.TimerPeriod(TIMER_CALL_TIMEOUT), 20000);
    EXPECT_EQ(engine.TimerPeriod(TIMER_RESEND), 3000);

    engine.Advance(19999);
    EXPECT_EQ(engine.statuses.size(), 1u);
    engine.Advance(1);
    const auto requests = engine.SentOfType(PKT_CALL_REQUEST);
    ASSERT_EQ(requests.size(), 7u); // at 0, 3, ..., 18 s
    for (const auto& r : requests) {
        EXPECT_EQ(r.payload, RequestPayload("abc", own));
        EXPECT_EQ(r.address, kHostIp);
        EXPECT_EQ(r.port, kHostPort);
    }
    EXPECT_EQ(engine.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_TIMEOUT}));
    EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
    EXPECT_FALSE(engine.TimerActive(TIMER_CALL_TIMEOUT));
    EXPECT_FALSE(engine.TimerActive(TIMER_RESEND));
    EXPECT_TRUE(engine.OwnToken().IsZero());

    engine.Advance(30000);
    EXPECT_EQ(engine.SentOfType(PKT_CALL_REQUEST).size(), 7u);
}

TEST_F(EngineTest, AcceptanceWithOwnTokenConnectsAndOthersAreIgnored) {
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", 20));
    const CCallToken own = engine.OwnToken();
    CCallToken other = own;
    other.count ^= 1;

    engine.Receive(kHostIp, kHostPort, PKT_ACCEPT, BuildTokenPayload(other));
    engine.Receive(kHostIp, kHostPort, PKT_ACCEPT); // empty payload reads as a zero token
    EXPECT_EQ(engine.State(), CCallEngine::STATE_PENDING);
    EXPECT_TRUE(engine.SentOfType(PKT_CONFIRM).empty());

    // The acceptance may come from another port than the one called: the peer is its sender.
    engine.Receive(kHostIp, 50000, PKT_ACCEPT, BuildTokenPayload(own));
    const auto confirms = engine.SentOfType(PKT_CONFIRM);
    ASSERT_EQ(confirms.size(), 5u);
    for (const auto& c : confirms) {
        EXPECT_TRUE(c.payload.empty());
        EXPECT_EQ(c.address, kHostIp);
        EXPECT_EQ(c.port, 50000);
    }
    EXPECT_EQ(engine.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_EQ(engine.GetPeerAddress(), kHostIp);
    EXPECT_EQ(engine.GetPeerPort(), 50000);
    EXPECT_TRUE(engine.IsMediaActive());
    EXPECT_TRUE(engine.OwnToken().IsZero());
    EXPECT_EQ(engine.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_CONNECTED}));
    EXPECT_FALSE(engine.TimerActive(TIMER_CALL_TIMEOUT));
    EXPECT_FALSE(engine.TimerActive(TIMER_RESEND));
    EXPECT_EQ(engine.TimerPeriod(TIMER_KEEPALIVE), 3000);
    EXPECT_EQ(engine.TimerPeriod(TIMER_SUPERVISION), 15000);

    // The other four acceptances arrive after the call stands.
    engine.Receive(kHostIp, 50000, PKT_ACCEPT, BuildTokenPayload(own));
    EXPECT_EQ(engine.SentOfType(PKT_CONFIRM).size(), 5u);
    EXPECT_EQ(engine.statuses.size(), 2u);
}

TEST_F(EngineTest, BusyNotAvailableAndRejectEndAPendingCall) {
    struct Case {
        uint8_t type;
        bool ownToken;
        int32_t status;
    };
    for (const Case c : {Case{PKT_BUSY, false, STATUS_REMOTE_BUSY},
                         Case{PKT_NOT_AVAILABLE, false, STATUS_REMOTE_NOT_AVAILABLE},
                         Case{PKT_REJECT, true, STATUS_CALL_REJECTED}}) {
        SCOPED_TRACE(static_cast<int>(c.type));
        ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", 20));
        engine.statuses.clear();
        const std::vector<uint8_t> payload =
            c.ownToken ? BuildTokenPayload(engine.OwnToken()) : std::vector<uint8_t>{};
        engine.Receive(kHostIp, kHostPort, c.type, payload);
        EXPECT_EQ(engine.statuses, std::vector<int32_t>{c.status});
        EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
        EXPECT_EQ(engine.GetPeerAddress(), "");
        EXPECT_EQ(engine.GetPeerPort(), -1);
        EXPECT_FALSE(engine.TimerActive(TIMER_CALL_TIMEOUT));
        EXPECT_FALSE(engine.TimerActive(TIMER_RESEND));
    }
}

TEST_F(EngineTest, RejectWithForeignTokenIsIgnored) {
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", 20));
    engine.Receive(kHostIp, kHostPort, PKT_REJECT, BuildTokenPayload(CCallToken{1, 2}));
    EXPECT_EQ(engine.State(), CCallEngine::STATE_PENDING);
    EXPECT_EQ(engine.statuses, std::vector<int32_t>{STATUS_CALLING});
}

TEST_F(EngineTest, HangupWhilePendingLeavesTimeOutAndResendRunning) {
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", 20));
    engine.Advance(5000);
    engine.Receive(kHostIp, kHostPort, PKT_HANGUP);
    EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
    EXPECT_TRUE(engine.TimerActive(TIMER_CALL_TIMEOUT));
    engine.ClearSent();
    engine.Advance(15000);
    EXPECT_EQ(engine.statuses,
              (std::vector<int32_t>{STATUS_CALLING, STATUS_REMOTE_DISCONNECTED, STATUS_TIMEOUT}));
    // The resends after the reset go to the emptied peer.
    const auto resent = engine.SentOfType(PKT_CALL_REQUEST);
    ASSERT_FALSE(resent.empty());
    for (const auto& r : resent) {
        EXPECT_EQ(r.address, "");
        EXPECT_EQ(r.port, -1);
    }
}

TEST_F(EngineTest, ConnectAndAcceptRefusedOutsideIdle) {
    FakeCallEngine fresh;
    EXPECT_FALSE(fresh.Connect(kHostIp, kHostPort, "u", 20));
    EXPECT_EQ(fresh.GetObjectError(), ERR_NOT_INITIALIZED);
    EXPECT_FALSE(fresh.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    EXPECT_EQ(fresh.GetObjectError(), ERR_NOT_INITIALIZED);

    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", 20));
    EXPECT_FALSE(engine.Connect(kHostIp, kHostPort, "u", 20));
    EXPECT_EQ(engine.GetObjectError(), ERR_CALL_PENDING);
    EXPECT_FALSE(engine.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    EXPECT_EQ(engine.GetObjectError(), ERR_CALL_PENDING);
    ASSERT_TRUE(engine.Disconnect());
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", 20));
    engine.Receive(kHostIp, kHostPort, PKT_ACCEPT, BuildTokenPayload(engine.OwnToken()));
    EXPECT_FALSE(engine.Connect(kHostIp, kHostPort, "u", 20));
    EXPECT_EQ(engine.GetObjectError(), ERR_ALREADY_CONNECTED);
    EXPECT_FALSE(engine.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    EXPECT_EQ(engine.GetObjectError(), ERR_ALREADY_CONNECTED);
}

TEST_F(EngineTest, DisconnectSendsOneHangupOnlyWhenConnected) {
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", 20));
    engine.statuses.clear();
    ASSERT_TRUE(engine.Disconnect());
    EXPECT_TRUE(engine.SentOfType(PKT_HANGUP).empty());
    EXPECT_FALSE(engine.TimerActive(TIMER_CALL_TIMEOUT));
    EXPECT_FALSE(engine.TimerActive(TIMER_RESEND));

    ConnectAsCaller();
    ASSERT_TRUE(engine.Disconnect());
    const auto hangups = engine.SentOfType(PKT_HANGUP);
    ASSERT_EQ(hangups.size(), 1u);
    EXPECT_EQ(hangups[0].address, kHostIp);
    EXPECT_EQ(hangups[0].port, kHostPort);
    EXPECT_TRUE(hangups[0].payload.empty());
    EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
    EXPECT_FALSE(engine.IsMediaActive());
    for (int id : {TIMER_CALL_TIMEOUT, TIMER_RESEND, TIMER_SUPERVISION, TIMER_KEEPALIVE})
        EXPECT_FALSE(engine.TimerActive(id)) << id;
    EXPECT_TRUE(engine.statuses.empty()); // Disconnect reports nothing
}

TEST_F(EngineTest, NoVoiceFrameLeavesAfterTheHangup) {
    ConnectAsCaller();
    const auto frame = Frame(1);
    // The capture thread hands over a frame just as the hang-up leaves.
    engine.afterSend = [&](uint8_t type) {
        if (type == PKT_HANGUP)
            std::thread([&] { engine.SendVoiceFrame(frame); }).join();
    };
    ASSERT_TRUE(engine.Disconnect());
    ASSERT_FALSE(engine.Sent().empty());
    EXPECT_EQ(engine.Sent().back().type, PKT_HANGUP);
}

TEST_F(EngineTest, StationCalledByNameIsResolvedOnceAndSentToByAddress) {
    ASSERT_TRUE(engine.Connect("localhost", kHostPort, "u", 20));
    engine.Advance(2 * CCallEngine::kResendPeriodMs);
    const auto requests = engine.SentOfType(PKT_CALL_REQUEST);
    ASSERT_GE(requests.size(), 3u);      // more when localhost is ::1 as well
    for (const auto& request : requests) // no name left for a send to look up
        EXPECT_TRUE(ParseIpAddress(request.address)) << request.address;
}

TEST_F(EngineTest, ANamesAddressesAreTriedInTurnAndTheFirstToAnswerTakesTheCall) {
    using Addresses = std::vector<std::string>;
    const std::string slow = "2001:db8::9", host = "2001:db8::2";
    engine.names = {{"host.example", {slow, host, kHostIp}}};
    const auto requestsUntil = [&](int64_t ms) {
        engine.Advance(ms - engine.Now());
        Addresses to;
        for (const auto& request : engine.SentOfType(PKT_CALL_REQUEST))
            to.push_back(request.address);
        engine.ClearSent();
        return to;
    };
    ASSERT_TRUE(engine.Connect("host.example", kHostPort, "u", 20));
    EXPECT_EQ(requestsUntil(0), Addresses{slow});
    EXPECT_EQ(requestsUntil(CCallCandidates::kNextAddressDelayMs), Addresses{host});
    EXPECT_EQ(requestsUntil(2 * CCallCandidates::kNextAddressDelayMs), Addresses{kHostIp});
    EXPECT_EQ(requestsUntil(CCallEngine::kResendPeriodMs), (Addresses{slow, host, kHostIp}));
    engine.Receive("2001:db8::7", kHostPort, PKT_BUSY); // not one of the name's
    engine.Receive(host, kHostPort, PKT_ACCEPT, BuildTokenPayload(engine.OwnToken()));
    EXPECT_EQ(engine.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_CONNECTED}));
    EXPECT_EQ(engine.GetPeerAddress(), host);
}

TEST_F(EngineTest, TimeOutsBeyondTimerRangeAreClampedNotOverflowed) {
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", INT_MAX));
    EXPECT_EQ(engine.TimerPeriod(TIMER_CALL_TIMEOUT), INT_MAX);
    ASSERT_TRUE(engine.Disconnect());
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, "u", -5));
    EXPECT_EQ(engine.TimerPeriod(TIMER_CALL_TIMEOUT), 0);
}

TEST_F(EngineTest, UserDataIsCutAtAZeroByteSoTheTokenArrivesIntact) {
    ASSERT_TRUE(engine.Connect(kHostIp, kHostPort, std::string("ab\0cd", 5), 20));
    const auto requests = engine.SentOfType(PKT_CALL_REQUEST);
    ASSERT_EQ(requests.size(), 1u);
    const CallRequest read =
        ReadCallRequest(requests[0].payload.data(), static_cast<int>(requests[0].payload.size()));
    EXPECT_EQ(read.userData, "ab");
    EXPECT_EQ(read.token, engine.OwnToken());
}

// --- Called side -------------------------------------------------------------------------

TEST_F(EngineTest, RequestIsAnnouncedPerCopyUntilAcceptedThenIgnored) {
    const CCallToken token = CCallToken{1000, 77};
    for (int i = 0; i < 3; ++i) {
        engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("ID=x", token));
        engine.Advance(3000);
    }
    ASSERT_EQ(engine.announcements.size(), 3u);
    EXPECT_EQ(engine.announcements[0].address, kCallerIp);
    EXPECT_EQ(engine.announcements[0].port, kCallerPort);
    EXPECT_EQ(engine.announcements[0].userData, "ID=x");
    EXPECT_EQ(engine.PendingCalls().Size(), 1u);

    ASSERT_TRUE(engine.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    const auto accepts = engine.SentOfType(PKT_ACCEPT);
    ASSERT_EQ(accepts.size(), 5u);
    for (const auto& a : accepts) {
        EXPECT_EQ(a.payload, BuildTokenPayload(token));
        EXPECT_EQ(a.address, kCallerIp);
        EXPECT_EQ(a.port, kCallerPort);
    }
    EXPECT_EQ(engine.statuses, std::vector<int32_t>{STATUS_CALLING});
    EXPECT_EQ(engine.State(), CCallEngine::STATE_PENDING);
    EXPECT_EQ(engine.GetPeerAddress(), ""); // set only by the confirmation
    EXPECT_EQ(engine.TimerPeriod(TIMER_CALL_TIMEOUT), 20000);
    EXPECT_FALSE(engine.TimerActive(TIMER_RESEND));
    EXPECT_EQ(engine.AcceptedToken(), token);
    EXPECT_EQ(engine.PendingCalls().Size(), 0u);

    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("ID=x", token));
    EXPECT_EQ(engine.announcements.size(), 3u);
    EXPECT_EQ(engine.PendingCalls().Size(), 0u);

    // A new Connect from the same caller carries a new token and is announced again.
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST,
                   RequestPayload("ID=x", CCallToken{1001, 5}));
    EXPECT_EQ(engine.announcements.size(), 4u);
}

TEST_F(EngineTest, ConfirmationConnectsTheCalleeWithItsSender) {
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", CCallToken{5, 6}));
    ASSERT_TRUE(engine.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    engine.Receive(kCallerIp, kCallerPort, PKT_CONFIRM);
    EXPECT_EQ(engine.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_EQ(engine.GetPeerAddress(), kCallerIp);
    EXPECT_EQ(engine.GetPeerPort(), kCallerPort);
    EXPECT_EQ(engine.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_CONNECTED}));
    EXPECT_FALSE(engine.TimerActive(TIMER_CALL_TIMEOUT));
    // The other four confirmations change nothing.
    engine.Receive(kCallerIp, kCallerPort, PKT_CONFIRM);
    EXPECT_EQ(engine.statuses.size(), 2u);
}

TEST_F(EngineTest, CancelSendsOneRejectAndIgnoresFurtherCopies) {
    const CCallToken token = CCallToken{300, 400};
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", token));
    EXPECT_FALSE(engine.CancelIncomingCall(kCallerIp, kCallerPort + 1));
    EXPECT_EQ(engine.GetObjectError(), ERR_NO_SUCH_CALL);
    ASSERT_TRUE(engine.CancelIncomingCall(kCallerIp, kCallerPort));
    const auto rejects = engine.SentOfType(PKT_REJECT);
    ASSERT_EQ(rejects.size(), 1u);
    EXPECT_EQ(rejects[0].payload, BuildTokenPayload(token));
    EXPECT_EQ(rejects[0].address, kCallerIp);
    EXPECT_EQ(rejects[0].port, kCallerPort);
    EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
    EXPECT_TRUE(engine.statuses.empty());

    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", token));
    EXPECT_EQ(engine.announcements.size(), 1u);
    EXPECT_FALSE(engine.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    EXPECT_EQ(engine.GetObjectError(), ERR_NO_SUCH_CALL);
}

TEST_F(EngineTest, CancelWorksInAnyCallState) {
    ConnectAsCaller();
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", CCallToken{1, 1}));
    ASSERT_TRUE(engine.CancelIncomingCall(kCallerIp, kCallerPort));
    EXPECT_EQ(engine.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_EQ(engine.SentOfType(PKT_REJECT).size(), 1u);
}

TEST_F(EngineTest, BusyWinsOverNotAvailableAndNeitherAnnounces) {
    const auto request = RequestPayload("u", CCallToken{2, 3});
    engine.EnableNotAvailableState();
    engine.EnableBusyState();
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, request);
    engine.DisableBusyState();
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, request);
    const auto sent = engine.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].type, PKT_BUSY);
    EXPECT_EQ(sent[1].type, PKT_NOT_AVAILABLE);
    for (const auto& p : sent) {
        EXPECT_TRUE(p.payload.empty());
        EXPECT_EQ(p.address, kCallerIp);
        EXPECT_EQ(p.port, kCallerPort);
    }
    EXPECT_TRUE(engine.announcements.empty());
    EXPECT_EQ(engine.PendingCalls().Size(), 0u);

    engine.DisableNotAvailableState();
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, request);
    EXPECT_EQ(engine.announcements.size(), 1u);
}

TEST_F(EngineTest, ZeroTokenIsIgnoredUntilBothRememberedTokensAreSet) {
    // "abc" without terminator: whole payload as user data, all-zero token.
    const std::vector<uint8_t> unterminated{'a', 'b', 'c'};
    const auto zero = RequestPayload("z", CCallToken());
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, zero);
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, unterminated);
    EXPECT_TRUE(engine.announcements.empty());

    engine.Receive("10.1.1.1", 1, PKT_CALL_REQUEST, RequestPayload("a", CCallToken{1, 1}));
    ASSERT_TRUE(engine.AcceptIncomingCall("10.1.1.1", 1, 20));
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, zero);
    EXPECT_EQ(engine.announcements.size(), 1u); // still equals the cleared rejected token

    engine.Receive("10.1.1.2", 2, PKT_CALL_REQUEST, RequestPayload("b", CCallToken{2, 2}));
    ASSERT_TRUE(engine.CancelIncomingCall("10.1.1.2", 2));
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, unterminated);
    ASSERT_EQ(engine.announcements.size(), 3u);
    EXPECT_EQ(engine.announcements.back().userData, "abc");
}

// --- Supervision -------------------------------------------------------------------------

TEST_F(EngineTest, SilentCallIsLostAfterTwoSupervisionPeriods) {
    ConnectAsCaller();
    engine.Advance(15000);
    EXPECT_EQ(engine.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_FALSE(engine.ActivitySeen());
    // Keep-alives go out three at a time every 3 s: at 3, 6, 9, 12 and 15 s.
    const auto keepAlives = engine.SentOfType(PKT_KEEPALIVE);
    EXPECT_EQ(keepAlives.size(), 15u);
    for (const auto& k : keepAlives) {
        EXPECT_EQ(k.address, kHostIp);
        EXPECT_TRUE(k.payload.empty());
    }
    engine.Advance(15000);
    EXPECT_EQ(engine.statuses, std::vector<int32_t>{STATUS_CONNECTION_LOST});
    EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
    EXPECT_FALSE(engine.TimerActive(TIMER_SUPERVISION));
    EXPECT_FALSE(engine.TimerActive(TIMER_KEEPALIVE));
}

TEST_F(EngineTest, KeepAlivesAndWellSizedVoiceKeepTheCallUp) {
    ConnectAsCaller();
    for (int i = 0; i < 20; ++i) {
        engine.Advance(3000);
        if (i % 2 == 0)
            engine.Receive(kHostIp, kHostPort, PKT_KEEPALIVE);
        else
            engine.Receive(kHostIp, kHostPort, PKT_VOICE, Frame(static_cast<uint8_t>(i)));
    }
    EXPECT_EQ(engine.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_TRUE(engine.statuses.empty());
    EXPECT_EQ(engine.played.size(), 10u);
}

TEST_F(EngineTest, WrongSizedVoiceIsNeitherPlayedNorActivity) {
    ConnectAsCaller();
    engine.Advance(15000); // activity cleared
    for (const auto& [type, size] :
         {std::pair{PKT_VOICE, 194}, std::pair{PKT_VOICE, 196}, std::pair{PKT_VOICE_ENCRYPTED, 199},
          std::pair{PKT_VOICE_ENCRYPTED, 201}})
        engine.Receive(kHostIp, kHostPort, type, std::vector<uint8_t>(size, 0x55));
    EXPECT_FALSE(engine.ActivitySeen());
    EXPECT_TRUE(engine.played.empty());
    EXPECT_TRUE(engine.statuses.empty());
    engine.Advance(15000);
    EXPECT_EQ(engine.statuses, std::vector<int32_t>{STATUS_CONNECTION_LOST});
}

TEST_F(EngineTest, EncryptedVoiceWhileOffIsActivityAndReported) {
    ConnectAsCaller();
    engine.Advance(15000);
    engine.Receive(kHostIp, kHostPort, PKT_VOICE_ENCRYPTED, std::vector<uint8_t>(200, 1));
    EXPECT_TRUE(engine.ActivitySeen());
    EXPECT_TRUE(engine.played.empty());
    EXPECT_EQ(engine.statuses, std::vector<int32_t>{STATUS_ENCRYPTED_DATA});
}

TEST_F(EngineTest, BusyWhileConnectedLeavesSupervisionToEndIt) {
    ConnectAsCaller();
    engine.Receive(kHostIp, kHostPort, PKT_BUSY);
    EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
    EXPECT_TRUE(engine.TimerActive(TIMER_SUPERVISION));
    engine.Advance(30000);
    EXPECT_EQ(engine.statuses, (std::vector<int32_t>{STATUS_REMOTE_BUSY, STATUS_CONNECTION_LOST}));
}

// --- The call's two parties -------------------------------------------------------------

enum Phase { kIdle, kCalling, kAnswering, kConnected };

// An engine 15 s into `phase`: calling a station by its name, answering a caller, or
// connected (and silent since its last supervision tick).
static void Enter(FakeCallEngine& e, Phase phase) {
    ASSERT_TRUE(e.Initialize(kHostPort, ""));
    e.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", CCallToken{5, 6}));
    ASSERT_TRUE(phase != kAnswering || e.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    ASSERT_TRUE(phase != kCalling || e.Connect("localhost", kHostPort, "u", 20));
    ASSERT_TRUE(phase != kConnected || e.Connect(kHostIp, kHostPort, "u", 20));
    if (phase == kConnected)
        e.Receive(kHostIp, kHostPort, PKT_ACCEPT, BuildTokenPayload(e.OwnToken()));
    e.Advance(15000);
    e.ClearSent();
    e.statuses.clear();
}

// What a packet did, in a few words; "" when nothing (a reset sets activity as well).
static std::string EffectOf(FakeCallEngine& e, int32_t state, bool activity) {
    std::string out;
    if (e.State() != state)
        out = e.State() == CCallEngine::STATE_IDLE ? " idle" : " connected";
    else if (e.ActivitySeen() && !activity)
        out = " activity";
    for (const int32_t status : e.statuses)
        out += " " + std::to_string(status);
    out += std::string(e.played.empty() ? "" : " played") + (e.texts.empty() ? "" : " text") +
           (e.Sent().empty() ? "" : " sent");
    return out.empty() ? out : out.substr(1);
}

TEST(EngineSenderTest, OnlyTheCallsOtherPartyIsHeardInEveryState) {
    // Each type, with so many zero bytes, from the call's other party while calling,
    // answering and connected; from anyone else, and while idle, it does nothing.
    const std::tuple<uint8_t, std::size_t, std::array<const char*, 3>> rows[] = {
        {PKT_KEEPALIVE, 0, {"", "", "activity"}},
        {PKT_TEXT, 4, {"", "", "text"}},
        {PKT_TEXT_ENCRYPTED, 8, {"", "", "58"}},
        {PKT_HANGUP, 0, {"idle 54", "idle 54", "idle 54"}},
        {PKT_BUSY, 0, {"idle 55", "idle 55", "idle 55"}},
        {PKT_NOT_AVAILABLE, 0, {"idle 56", "idle 56", "idle 56"}},
        {PKT_VOICE_ENCRYPTED, 200, {"", "58", "activity 58"}},
        {PKT_VOICE, 195, {"", "played", "activity played"}}, // a frame may overtake the confirm
        {PKT_CONFIRM, 0, {"", "connected 53", ""}},
        {PKT_ACCEPT, 8, {"", "", ""}}, // eight zero bytes: the own token of all but a caller
        {PKT_REJECT, 8, {"", "", ""}},
    };
    for (const auto& [type, zeros, effects] : rows) {
        for (const Phase phase : {kIdle, kCalling, kAnswering, kConnected}) {
            // The party (the station called by name is known by its address), its address
            // from another port, and another address on its port.
            const std::string ip =
                std::array{kHostIp, std::string("127.0.0.1"), kCallerIp, kHostIp}[phase];
            const int port = phase == kAnswering ? kCallerPort : kHostPort;
            // And the party's address spelt as a dual-stack socket might have shown it.
            for (const auto& [fromIp, fromPort] :
                 {std::pair{ip, port}, std::pair{ip, port + 1},
                  std::pair{std::string("10.6.6.6"), port}, std::pair{"::ffff:" + ip, port}}) {
                SCOPED_TRACE(testing::Message() << "type " << int(type) << " phase " << phase
                                                << " from " << fromIp << ":" << fromPort);
                FakeCallEngine e;
                Enter(e, phase);
                const int32_t state = e.State();
                const bool activity = e.ActivitySeen();
                e.Receive(fromIp, fromPort, type, std::vector<uint8_t>(zeros, 0));
                const bool party = phase != kIdle && SameAddress(fromIp, ip) && fromPort == port;
                EXPECT_EQ(EffectOf(e, state, activity), party ? effects[phase - 1] : "");
            }
        }
    }
}

// --- Ageing of unanswered requests -------------------------------------------------------

TEST_F(EngineTest, UnansweredRequestIsForgottenThirtyToSixtySecondsAfterItsLastCopy) {
    // Just before an ageing tick: forgotten at the next-but-one, 31 s later.
    engine.Advance(29000);
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", CCallToken{1, 2}));
    engine.Advance(30999);
    EXPECT_TRUE(engine.PendingCalls().Contains(kCallerIp, kCallerPort));
    engine.Advance(1);
    EXPECT_FALSE(engine.PendingCalls().Contains(kCallerIp, kCallerPort));
    EXPECT_FALSE(engine.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    EXPECT_EQ(engine.GetObjectError(), ERR_NO_SUCH_CALL);

    // Just after an ageing tick: it lasts until the third one, 59 s later.
    engine.Advance(1000);
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", CCallToken{3, 4}));
    engine.Advance(58999);
    EXPECT_TRUE(engine.PendingCalls().Contains(kCallerIp, kCallerPort));
    engine.Advance(1);
    EXPECT_FALSE(engine.PendingCalls().Contains(kCallerIp, kCallerPort));
}

TEST_F(EngineTest, RepeatedRequestStaysFiledAndCanBeAcceptedMinutesLater) {
    for (int t = 0; t < 120000; t += 3000) {
        engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST,
                       RequestPayload("u", CCallToken{7, 7}));
        engine.Advance(3000);
    }
    EXPECT_EQ(engine.announcements.size(), 40u);
    EXPECT_TRUE(engine.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
}

TEST_F(EngineTest, FloodOfRequestsFromManySendersIsBounded) {
    for (int i = 0; i < 5000; ++i)
        engine.Receive("10.8." + std::to_string(i / 250) + "." + std::to_string(i % 250), 1024 + i,
                       PKT_CALL_REQUEST, RequestPayload("f", CCallToken{1, static_cast<uint32_t>(i + 1)}));
    EXPECT_EQ(engine.PendingCalls().Size(), CPendingCallList::kMaxEntries);
    // The most recent callers are the ones kept, and they can still be answered.
    EXPECT_TRUE(engine.AcceptIncomingCall("10.8.19.249", 1024 + 4999, 20));
    EXPECT_FALSE(engine.PendingCalls().Contains("10.8.0.0", 1024));
}

// --- Initialisation and teardown ---------------------------------------------------------

TEST(EngineInitTest, FirstInitializeLeavesErrorTenAndSuccessNeverClearsIt) {
    FakeCallEngine engine;
    EXPECT_EQ(engine.GetObjectError(), 0);
    ASSERT_TRUE(engine.Initialize(33000, "k"));
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
    EXPECT_TRUE(engine.IsInitialized());
    EXPECT_TRUE(engine.socketOpen);
    EXPECT_EQ(engine.socketPort, 33000);
    for (int id : {TIMER_RATE, TIMER_PENDING_AGE})
        EXPECT_TRUE(engine.TimerActive(id)) << id;
    EXPECT_TRUE(engine.Disconnect());
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
}

TEST(EngineInitTest, FailingStepTearsDownAndRecordsItsError) {
    struct Case {
        bool taskWnd;
        bool socket;
        int32_t media;
        int32_t error;
    };
    for (const Case c :
         {Case{false, true, 0, ERR_NOT_INITIALIZED}, Case{true, false, 0, ERR_SOCKET},
          Case{true, true, ERR_SOUND_DEVICE, ERR_SOUND_DEVICE},
          Case{true, true, ERR_MIC_DEVICE, ERR_MIC_DEVICE}}) {
        SCOPED_TRACE(c.error);
        FakeCallEngine engine;
        engine.taskWndWorks = c.taskWnd;
        engine.socketWorks = c.socket;
        engine.mediaError = c.media;
        EXPECT_FALSE(engine.Initialize(33001, "k"));
        EXPECT_EQ(engine.GetObjectError(), c.error);
        EXPECT_FALSE(engine.IsInitialized());
        EXPECT_FALSE(engine.socketOpen);
        EXPECT_FALSE(engine.taskWndExists);
        // Nothing works until a later Initialize succeeds.
        EXPECT_FALSE(engine.Connect(kHostIp, kHostPort, "u", 20));
        EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
        engine.taskWndWorks = engine.socketWorks = true;
        engine.mediaError = 0;
        EXPECT_TRUE(engine.Initialize(33001, "k"));
    }
}

TEST_F(EngineTest, InitializeOnAConnectedEngineHangsUpFirstAndClearsState) {
    ConnectAsCaller();
    engine.Receive(kCallerIp, kCallerPort, PKT_CALL_REQUEST, RequestPayload("u", CCallToken{4, 4}));
    engine.EnableBusyState();
    engine.EnableNotAvailableState();
    ASSERT_TRUE(engine.Initialize(kHostPort, "secret"));
    const auto hangups = engine.SentOfType(PKT_HANGUP);
    ASSERT_EQ(hangups.size(), 1u);
    EXPECT_EQ(hangups[0].address, kHostIp);
    EXPECT_EQ(hangups[0].port, kHostPort);
    EXPECT_EQ(engine.State(), CCallEngine::STATE_IDLE);
    EXPECT_FALSE(engine.IsBusy());
    EXPECT_FALSE(engine.IsNotAvailable());
    EXPECT_EQ(engine.PendingCalls().Size(), 0u);
    EXPECT_FALSE(engine.TimerActive(TIMER_SUPERVISION));
}

TEST_F(EngineTest, UnInitializeStopsEverythingAndRecordsErrorTenWhenRepeated) {
    ConnectAsCaller();
    engine.UnInitialize();
    EXPECT_EQ(engine.SentOfType(PKT_HANGUP).size(), 1u);
    EXPECT_FALSE(engine.IsInitialized());
    EXPECT_FALSE(engine.taskWndExists);
    EXPECT_FALSE(engine.socketOpen);
    EXPECT_EQ(engine.GetOutBoundTotalBytes(), 0);
    EXPECT_EQ(engine.GetInBoundDataRate(), 0);
    engine.UnInitialize();
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
}

// --- Encryption --------------------------------------------------------------------------

TEST(EngineCryptoTest, FlagFollowsTheKeyRules) {
    FakeCallEngine engine;
    EXPECT_FALSE(engine.EnableCryptography());
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
    EXPECT_FALSE(engine.DisableCryptography());
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);

    ASSERT_TRUE(engine.Initialize(33002, ""));
    EXPECT_FALSE(engine.EnableCryptography());
    EXPECT_EQ(engine.GetObjectError(), ERR_NO_CRYPTO_KEY);
    EXPECT_FALSE(engine.IsCryptographyEnabled());

    ASSERT_TRUE(engine.Initialize(33002, "key"));
    ASSERT_TRUE(engine.EnableCryptography());
    engine.UnInitialize();
    EXPECT_TRUE(engine.IsCryptographyEnabled());
    ASSERT_TRUE(engine.Initialize(33002, "key"));
    EXPECT_TRUE(engine.IsCryptographyEnabled());

    // An empty key would key the cipher with nothing: it switches encryption off.
    ASSERT_TRUE(engine.Initialize(33002, ""));
    EXPECT_FALSE(engine.IsCryptographyEnabled());
    EXPECT_FALSE(engine.EnableCryptography());
    EXPECT_EQ(engine.GetObjectError(), ERR_NO_CRYPTO_KEY);
    ASSERT_TRUE(engine.Initialize(33002, "key"));
    EXPECT_TRUE(engine.DisableCryptography());
    EXPECT_FALSE(engine.IsCryptographyEnabled());
}

TEST(EngineCryptoTest, TextTravelsPlainOrAsEncryptedBlocks) {
    FakeCallEngine a;
    FakeCallEngine b;
    ASSERT_TRUE(a.Initialize(1, "k1"));
    ASSERT_TRUE(b.Initialize(2, "k1"));

    ASSERT_TRUE(a.SendTextMsg("abc", ""));
    auto sent = a.Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].type, PKT_TEXT);
    EXPECT_EQ(sent[0].payload, (std::vector<uint8_t>{'a', 'b', 'c', 0, 0}));
    EXPECT_EQ(sent[0].address, ""); // no peer yet
    a.ClearSent();

    ASSERT_TRUE(a.EnableCryptography());
    ASSERT_TRUE(a.SendTextMsg("abc", ""));
    ASSERT_TRUE(a.SendTextMsg("abcdef", "")); // 8 bytes: no padding
    sent = a.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].type, PKT_TEXT_ENCRYPTED);
    ASSERT_EQ(sent[0].payload.size(), 8u);
    EXPECT_EQ(sent[1].payload.size(), 8u);
    CBlowfish reference;
    reference.SetKey(reinterpret_cast<const uint8_t*>("k1"), 2);
    std::vector<uint8_t> plain(8);
    reference.Decrypt(sent[0].payload.data(), plain.data(), 8);
    EXPECT_EQ(plain, (std::vector<uint8_t>{'a', 'b', 'c', 0, 0, 0, 0, 0}));

    // Off at the receiver: reported, not shown. On: shown.
    ASSERT_TRUE(b.Connect("10.0.0.1", 1, "u", 20));
    b.Receive("10.0.0.1", 1, PKT_ACCEPT, BuildTokenPayload(b.OwnToken()));
    b.statuses.clear();
    b.Receive("10.0.0.1", 1, PKT_TEXT_ENCRYPTED, sent[0].payload);
    EXPECT_EQ(b.statuses, std::vector<int32_t>{STATUS_ENCRYPTED_DATA});
    EXPECT_TRUE(b.texts.empty());
    ASSERT_TRUE(b.EnableCryptography());
    b.Receive("10.0.0.1", 1, PKT_TEXT_ENCRYPTED, sent[0].payload);
    b.Receive("10.0.0.1", 1, PKT_TEXT_ENCRYPTED, sent[1].payload);
    ASSERT_EQ(b.texts.size(), 2u);
    EXPECT_EQ(b.texts[0], (std::pair<std::string, std::string>{"abc", ""}));
    EXPECT_EQ(b.texts[1], (std::pair<std::string, std::string>{"abcdef", ""}));

    // A payload that is not a whole number of blocks is completed with zeros, not overread.
    b.Receive("10.0.0.1", 1, PKT_TEXT_ENCRYPTED, std::vector<uint8_t>{1, 2, 3});
    EXPECT_EQ(b.texts.size(), 3u);
}

TEST(EngineCryptoTest, PlainTextWithoutSecondFieldHasEmptyUserData) {
    FakeCallEngine engine;
    ASSERT_TRUE(engine.Initialize(1, ""));
    ASSERT_TRUE(engine.Connect("10.0.0.1", 1, "u", 20));
    engine.Receive("10.0.0.1", 1, PKT_ACCEPT, BuildTokenPayload(engine.OwnToken()));
    engine.Receive("10.0.0.1", 1, PKT_TEXT, {'a', 'b', 'c', 0});
    engine.Receive("10.0.0.1", 1, PKT_TEXT, {'x', 0, 'y', 0});
    ASSERT_EQ(engine.texts.size(), 2u);
    EXPECT_EQ(engine.texts[0], (std::pair<std::string, std::string>{"abc", ""}));
    EXPECT_EQ(engine.texts[1], (std::pair<std::string, std::string>{"x", "y"}));
}

// --- Voice from the capture thread ------------------------------------------------------

TEST(EngineVoiceTest, FramesGoOutOnlyWhileConnectedAndNotSuppressed) {
    FakeCallEngine a;
    FakeCallEngine b;
    ASSERT_TRUE(a.Initialize(kCallerPort, "shared key"));
    ASSERT_TRUE(b.Initialize(kHostPort, "shared key"));
    const auto frame = Frame(3);

    a.SendVoiceFrame(frame);
    EXPECT_TRUE(a.Sent().empty()); // media not active

    ASSERT_TRUE(a.Connect(kHostIp, kHostPort, "ID=a", 20));
    Pump(a, kCallerIp, kCallerPort, b, kHostIp, kHostPort);
    ASSERT_EQ(b.announcements.size(), 1u);
    ASSERT_TRUE(b.AcceptIncomingCall(kCallerIp, kCallerPort, 20));
    Pump(a, kCallerIp, kCallerPort, b, kHostIp, kHostPort);
    ASSERT_EQ(a.State(), CCallEngine::STATE_CONNECTED);
    ASSERT_EQ(b.State(), CCallEngine::STATE_CONNECTED);
    EXPECT_EQ(a.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_CONNECTED}));
    EXPECT_EQ(b.statuses, (std::vector<int32_t>{STATUS_CALLING, STATUS_CONNECTED}));

    a.SendVoiceFrame(frame);
    auto sent = a.Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].type, PKT_VOICE);
    EXPECT_EQ(sent[0].payload, frame);
    EXPECT_EQ(sent[0].address, kHostIp);
    EXPECT_EQ(sent[0].port, kHostPort);

    a.ClearSent();

    // Encrypted both ways: 200 bytes on the wire, the same frame played at the far end.
    ASSERT_TRUE(a.EnableCryptography());
    ASSERT_TRUE(b.EnableCryptography());
    a.SendVoiceFrame(frame);
    sent = a.Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].type, PKT_VOICE_ENCRYPTED);
    EXPECT_EQ(sent[0].payload.size(), 200u);
    b.played.clear();
    Pump(a, kCallerIp, kCallerPort, b, kHostIp, kHostPort);
    ASSERT_EQ(b.played.size(), 1u);
    EXPECT_EQ(b.played[0], frame);

    // Either side hangs up; the other hears 54.
    ASSERT_TRUE(b.Disconnect());
    Pump(a, kCallerIp, kCallerPort, b, kHostIp, kHostPort);
    EXPECT_EQ(a.statuses.back(), STATUS_REMOTE_DISCONNECTED);
    EXPECT_EQ(a.State(), CCallEngine::STATE_IDLE);
    a.ClearSent();
    a.SendVoiceFrame(frame);
    EXPECT_TRUE(a.Sent().empty());
}

TEST(EngineVoiceTest, CaptureThreadNeverSeesAHalfChangedPeer) {
    FakeCallEngine engine;
    ASSERT_TRUE(engine.Initialize(1, "key"));
    const auto frame = Frame(1);
    std::atomic<bool> stop{false};
    std::thread capture([&] {
        while (!stop)
            engine.SendVoiceFrame(frame);
    });
    // The control's thread keeps switching peers, keys and encryption underneath.
    for (int i = 0; i < 300; ++i) {
        const std::string ip = (i % 2) ? "10.1.0.1" : "10.2.0.2";
        const int port = (i % 2) ? 1111 : 2222;
        if (engine.Connect(ip, port, "u", 20))
            engine.Receive(ip, port, PKT_ACCEPT, BuildTokenPayload(engine.OwnToken()));
        // Give the capture thread a moment inside the call.
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        if (i % 3 == 0)
            engine.EnableCryptography();
        else
            engine.DisableCryptography();
        engine.Disconnect();
        if (i % 50 == 0) {
            EXPECT_TRUE(engine.Initialize(1, i % 100 ? "key" : "other"));
        }
    }
    stop = true;
    capture.join();
    int voice = 0;
    for (const auto& p : engine.Sent()) {
        if (p.type != PKT_VOICE && p.type != PKT_VOICE_ENCRYPTED)
            continue;
        ++voice;
        const bool first = p.address == "10.1.0.1" && p.port == 1111;
        const bool second = p.address == "10.2.0.2" && p.port == 2222;
        const bool none = p.address.empty() && p.port == -1; // sent at the moment of a reset
        EXPECT_TRUE(first || second || none) << p.address << ":" << p.port;
        EXPECT_EQ(p.payload.size(), p.type == PKT_VOICE ? 195u : 200u);
    }
    EXPECT_GT(voice, 0);
}

// --- Voice activity detection and mute ---------------------------------------------------

TEST(EngineVadTest, DetectionNeedsAnInitialisedEngineAndPassesItsSettingsToCapture) {
    FakeCallEngine engine;
    EXPECT_FALSE(engine.EnableVoiceActivityDetection(100, 2));
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
    EXPECT_FALSE(engine.IsVoiceActivityDetectionEnabled());

    ASSERT_TRUE(engine.Initialize(1, ""));
    // Sensitivity clamped to 0..255; below one second the silence timer would spin (0 ms)
    // or be refused: one second it is.
    const std::tuple<int32_t, int32_t, int, int> rows[] = {
        {300, 3, 255, 3000}, {-4, 7, 0, 7000}, {10, 0, 10, 1000}, {10, -30, 10, 1000},
        {10, INT_MAX, 10, INT_MAX}};
    for (const auto& [sensitivity, seconds, passedSensitivity, silenceMs] : rows) {
        ASSERT_TRUE(engine.EnableVoiceActivityDetection(sensitivity, seconds));
        EXPECT_EQ(engine.Media().sensitivity, passedSensitivity);
        EXPECT_EQ(engine.Media().silenceMs, silenceMs);
        EXPECT_TRUE(engine.IsVoiceActivityDetectionEnabled());
    }
    engine.DisableVoiceActivityDetection();
    EXPECT_FALSE(engine.IsVoiceActivityDetectionEnabled());
}

TEST(EngineMuteTest, MuteNeedsAnInitialisedEngineAndMicNeedsTheCaptureThread) {
    FakeCallEngine engine;
    EXPECT_FALSE(engine.MuteMic(true));
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
    EXPECT_FALSE(engine.MuteSpk(true));
    EXPECT_EQ(engine.GetObjectError(), ERR_NOT_INITIALIZED);
    ASSERT_TRUE(engine.Initialize(1, "")); // the fake starts no capture thread
    EXPECT_FALSE(engine.MuteMic(true));
    EXPECT_EQ(engine.GetObjectError(), ERR_MIC_DEVICE);
    EXPECT_TRUE(engine.MuteSpk(true));
}
