// SPDX-License-Identifier: GPL-3.0-or-later
// COutgoingCall: the request of a call this station places, stated or encrypted, with the
// addresses it goes to, its repetitions and an encrypted call's fallback and outcome.
#pragma once

#include "CCallCandidates.h"
#include "CCallToken.h"
#include "CSecureCaller.h"
#include "IPacketTransport.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The request is built once and sent unchanged: at once to the first address, every
// resend period to every address brought in so far, and one more address each time the
// next-address timer ticks. An encrypted request that may fall back turns into the
// stated one after kSecureRequestsBeforeFallback unanswered copies.
//
// Threads: the control's thread only.
class COutgoingCall {
public:
    static constexpr int kSecureRequestsBeforeFallback = 2; // 6 s at the resend period
    static constexpr int kConfirmCopies = 5;

    explicit COutgoingCall(IPacketTransport& transport) : m_transport(transport) {}
    ~COutgoingCall() { Reset(); }
    COutgoingCall(const COutgoingCall&) = delete;
    COutgoingCall& operator=(const COutgoingCall&) = delete;

    // False when the random source failed: a token anyone could guess would let anyone
    // take the call.
    bool StartStated(const std::string& userData);
    // False when the user cannot travel (empty, over 255 bytes, a zero byte) or libsodium
    // failed. An empty fallback: only encrypted requests ever leave.
    bool StartSecure(const std::string& user, const std::string& password,
                     const std::string& fallbackUserData, uint8_t flags);
    // Sends the request to the first of `addresses`, at `port`.
    void PlaceTo(std::vector<std::string> addresses, int port);
    // The resend period: falls back when due, then the request to every address in.
    void Resend();
    // The next address in, and the request to it; false when none was left.
    bool BringInNext();
    bool HasNextAddress() const { return m_candidates.HasNext(); }
    const std::string& FirstAddress() const { return m_candidates.First(); }
    bool IsAddressOf(const std::string& address) const { return m_candidates.Contains(address); }

    bool IsStated() const { return !m_token.IsZero(); }
    bool IsSecure() const { return m_secureCaller != nullptr; }
    const CCallToken& Token() const { return m_token; }
    // A type-23 payload carrying this call's sid.
    bool IsOwnReject(const uint8_t* payload, int length) const;
    // A type-21 payload from `address`:`port`. Accepted: the confirms went back there and
    // `channel` is the call's; WrongPassword: the host holds another password for this
    // user (or has no such user). The outcome follows either.
    CSecureCaller::Answer OnAccept(const std::string& address, int port, const uint8_t* payload,
                                   int length, std::unique_ptr<CSecureChannel>* channel);

    int32_t Outcome() const { return m_outcome; } // Tavrino::SecureOutcome
    // After an accepted encrypted call: the flag bits both sides agreed on.
    uint8_t AgreedFlags() const { return m_agreedFlags; }
    void SetOutcome(int32_t outcome) { m_outcome = outcome; }
    // The call ends without an answer of its own kind: an encrypted one's outcome, if
    // none is set yet, follows from `status`.
    void Ended(int32_t status);
    void ClearOutcome() { m_outcome = 0; }

    // Everything goes, wiped where it held the password (the stated request, the
    // fallback user data, the caller's secrets); the outcome stays.
    void Reset();

private:
    void SendTo(const std::string& address);
    void FallBack();

    IPacketTransport& m_transport;
    std::vector<uint8_t> m_request; // the payload sent, the same bytes each time
    uint8_t m_requestType = 1;      // stated (1) or encrypted (20)
    int m_port = -1;
    CCallCandidates m_candidates;
    CCallToken m_token; // a stated request's; zero otherwise
    std::unique_ptr<CSecureCaller> m_secureCaller;
    std::string m_fallbackUserData;
    int m_secureRequestsSent = 0;
    int32_t m_outcome = 0;
    uint8_t m_agreedFlags = 0;
};
