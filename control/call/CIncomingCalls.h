// SPDX-License-Identifier: GPL-3.0-or-later
// CIncomingCalls: the requests that reach this station, stated and encrypted, from their
// arrival to the station's answer.
#pragma once

#include "CCallToken.h"
#include "CPendingCallList.h"
#include "CSecureAttempts.h"
#include "ICallClock.h"
#include "ICallTaskWindow.h"
#include "IPacketTransport.h"

#include <cstdint>
#include <memory>
#include <string>

// A busy or not-available station answers every request itself, stated or encrypted,
// and announces none. Otherwise a stated request is filed (by address and port) and
// announced with each copy, as the stated wire has it; an encrypted one is filed as an
// attempt (by address, port and sid, see CSecureAttempts) and announced once. The
// station then accepts or refuses through the methods here.
//
// Threads: the control's thread only.
class CIncomingCalls {
public:
    static constexpr int kAcceptCopies = 5;

    CIncomingCalls(IPacketTransport& transport, ICallTaskWindow& reports, ICallClock& clock)
        : m_transport(transport), m_reports(reports), m_clock(clock) {}

    void SetBusy(bool on) { m_busy = on; }
    void SetNotAvailable(bool on) { m_notAvailable = on; }
    bool IsBusy() const { return m_busy; }
    bool IsNotAvailable() const { return m_notAvailable; }

    // A type-1 or type-20 datagram.
    void OnCallRequest(const std::string& address, int port, const uint8_t* payload, int length);
    void OnSecureRequest(const std::string& address, int port, const uint8_t* payload, int length);

    // AcceptIncomingCall: the stated request from there accepted (its accepts leave, its
    // token is remembered, its entry goes); false when none is pending from there.
    bool AcceptStated(const std::string& address, int port);
    // CancelIncomingCall: the pending request from there (encrypted or stated) refused with
    // its reject; false when there is none.
    bool Refuse(const std::string& address, int port);
    // AcceptSecureCall: the attempt accepted with `password`, offering `flags`, waiting
    // `timeOutMs` for its confirmation; its accepts leave.
    CSecureAttempts::Answer AcceptSecure(const std::string& address, int port,
                                         const std::string& password, uint8_t flags,
                                         int64_t timeOutMs);
    // A type-22 payload: the channel of the attempt it confirms, with its user and the
    // flag bits agreed on.
    std::unique_ptr<CSecureChannel> Confirm(const std::string& address, int port,
                                            const uint8_t* payload, int length, std::string* user,
                                            uint8_t* flags) {
        return m_attempts.Confirm(address, port, payload, length, m_clock.NowMs(), user, flags);
    }
    // Once a second: true when the last accepted attempt just ended unconfirmed.
    bool ExpireAttempts();
    void Age();
    // The announcement of an encrypted attempt reached the station (or was dropped).
    void Announced(uint64_t attempt, bool delivered) { m_attempts.Announced(attempt, delivered); }

    // A call was placed or taken: the encrypted attempts under way go.
    void ClearAttempts() { m_attempts.ClearLive(); }
    // Initialize: tokens, attempts and states start afresh; Uninitialize: the list goes.
    void Reset();
    void ClearPending() { m_pendingCalls.Clear(); }

    int32_t SecurityOf(const std::string& address, int port) const; // Tavrino::CallSecurity
    const CCallToken& AcceptedToken() const { return m_acceptedToken; }
    const CPendingCallList& Pending() const { return m_pendingCalls; }
    std::size_t AcceptedAttempts() const { return m_attempts.AcceptedCount(); }
    std::size_t PendingAttempts() const { return m_attempts.PendingCount(); }

private:
    // A busy or not-available station's own answer; true when it gave one.
    bool AnsweredAsUnavailable(const std::string& address, int port);

    IPacketTransport& m_transport;
    ICallTaskWindow& m_reports;
    ICallClock& m_clock;
    bool m_busy = false;
    bool m_notAvailable = false;
    CPendingCallList m_pendingCalls;
    CSecureAttempts m_attempts;
    CCallToken m_acceptedToken;
    CCallToken m_rejectedToken;
};
