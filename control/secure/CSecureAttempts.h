// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureAttempts: the called station's encrypted attempts, each known by its caller's
// address, port and sid together.
#pragma once

#include "CSecureCallee.h"
#include "CSecureChannel.h"
#include "SecureCall.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <vector>

// An attempt is filed when its first request arrives and announced to the station once;
// a repeat (same address, port and sid) only refreshes it; a request with another sid
// from the same address and port replaces it (its accept is no longer repeated and its
// confirm no longer counts); the same sid from elsewhere is an attempt of its own, so a
// copy sent first by someone who saw the request takes nothing from the caller.
//
// The station answers an attempt only once it has been told of it: while a replacement's
// announcement is still on its way, an answer meant for the replaced request (its user)
// must not land on the new one (another user's password in the new one's exchange).
//
// Answered attempts (accepted, refused, expired, replaced) are remembered for a minute,
// so their repeats change nothing. Everything is bounded: a flood of requests from
// spoofed addresses drops the least recently heard first.
//
// Threads: the control's thread only.
class CSecureAttempts {
public:
    static constexpr std::size_t kMaxPending = 256;
    static constexpr std::size_t kMaxAccepted = 16;
    static constexpr std::size_t kMaxAnswered = 256;
    static constexpr int64_t kAnsweredKeptMs = 60000;
    // A repeated request of an accepted attempt gets one more accept at most this often:
    // the accept would otherwise reflect every copy toward a spoofed source.
    static constexpr int64_t kAcceptResendMs = 3000;
    // One reject a second to an address, whatever its attempts.
    static constexpr int64_t kRejectSpacingMs = 1000;

    CSecureAttempts() = default;
    CSecureAttempts(const CSecureAttempts&) = delete;
    CSecureAttempts& operator=(const CSecureAttempts&) = delete;

    enum class Filing {
        Announce,     // new (or its announcement never reached the station): announce it
        Quiet,        // a repeat that changes nothing
        ResendAccept, // a repeat of an accepted attempt, due one more accept
    };
    struct Filed {
        Filing action = Filing::Quiet;
        uint64_t serial = 0;                           // with Announce: the announcement's
        const std::vector<uint8_t>* accept = nullptr;  // with ResendAccept
    };
    // A request read from (address, port) whose share decodes.
    Filed File(const std::string& address, int port, const CSecureCallee::Request& request,
               int64_t nowMs);
    // The announcement `serial` reached the station (or was dropped on its way).
    void Announced(uint64_t serial, bool delivered);
    // A stated request from (address, port): the caller's latest request decides.
    void DropPending(const std::string& address, int port);

    // The pending attempt of (address, port), announced to the station or not.
    bool HasPending(const std::string& address, int port) const;

    enum class Answer { Done, NoSuchCall, Failed };
    // Accepts the pending attempt of (address, port) the station was told of, with
    // `password`, offering the flag bits `flags`; `accept` is the payload of its accepts.
    // Failed: the exchange could not start (the attempt stays pending).
    Answer Accept(const std::string& address, int port, const std::string& password,
                  uint8_t flags, int64_t deadlineMs, int64_t nowMs, std::vector<uint8_t>* accept);
    // Refuses it. `sid` is set and `send` tells whether a reject may leave now; a
    // reject held back by the address's spacing leaves the attempt unanswered, so its
    // next repeat is announced again and can be refused then.
    Answer Refuse(const std::string& address, int port, int64_t nowMs, SecureCall::Sid* sid,
                  bool* send);
    // A confirm from (address, port): the channel of the accepted attempt there whose Ta
    // verifies, with the user its request named and the flag bits both sides agreed on;
    // null when none does.
    std::unique_ptr<CSecureChannel> Confirm(const std::string& address, int port,
                                            const uint8_t* payload, int length, int64_t nowMs,
                                            std::string* user, uint8_t* flags);

    // Accepted attempts past their deadline end; the number that did.
    int Expire(int64_t nowMs);
    // Pending attempts not heard for two ageing periods go, as stated requests do, and
    // answered ones older than kAnsweredKeptMs.
    void Age(int64_t nowMs);
    // Pending and accepted attempts go (a call was taken or placed); repeats of those
    // answered stay ignored.
    void ClearLive();
    // Everything goes (a new Initialize).
    void Reset();

    std::size_t AcceptedCount() const;
    std::size_t PendingCount() const;

private:
    enum class State { Pending, Accepted, Answered };
    struct Attempt {
        std::string address;
        int port = -1;
        SecureCall::Sid sid{};
        State state = State::Pending;
        CSecureCallee::Request request;         // while pending
        std::unique_ptr<CSecureCallee> callee;  // while accepted
        int64_t deadlineMs = 0;                 // accepted: when it ends unconfirmed
        int64_t lastAcceptMs = 0;               // accepted: the last accept sent
        int64_t answeredMs = 0;                 // answered: since when
        uint64_t serial = 0;                    // pending: its announcement
        bool told = false;                      // pending: the station has seen it
        bool dropped = false;                   // pending: its announcement was dropped
        bool stale = false;                     // pending: not heard since the last Age
    };
    using List = std::list<Attempt>;

    List::iterator Find(const std::string& address, int port, const SecureCall::Sid& sid);
    // The pending or accepted attempt of (address, port), whatever its sid.
    List::iterator Live(const std::string& address, int port);
    List::const_iterator Live(const std::string& address, int port) const;
    void MarkAnswered(List::iterator it, int64_t nowMs);
    void Bound();
    bool RejectAllowed(const std::string& address, int64_t nowMs);

    List m_attempts; // least recently heard first
    uint64_t m_nextSerial = 0;
    struct Reject {
        std::string address;
        int64_t atMs = 0;
    };
    std::deque<Reject> m_rejects; // those of the last second
};
