// SPDX-License-Identifier: GPL-3.0-or-later
// CIncomingCalls: the requests that reach this station, stated and encrypted.
#include "CIncomingCalls.h"

#include "CSecureCallee.h"
#include "Cpace.h"
#include "Packets.h"
#include "TavrinoStandardApi.h"

using namespace Tavrino;

bool CIncomingCalls::AnsweredAsUnavailable(const std::string& address, int port) {
    // Busy and not available answer in clear, encrypted requests as stated ones.
    if (!m_busy && !m_notAvailable)
        return false;
    m_transport.Send(m_busy ? PKT_BUSY : PKT_NOT_AVAILABLE, nullptr, 0, address, port);
    return true;
}

void CIncomingCalls::OnCallRequest(const std::string& address, int port, const uint8_t* payload,
                                   int length) {
    if (AnsweredAsUnavailable(address, port))
        return;
    const CallRequest request = ReadCallRequest(payload, length);
    if (request.token == m_acceptedToken || request.token == m_rejectedToken)
        return;
    m_attempts.DropPending(address, port); // the caller's latest request decides
    if (m_pendingCalls.Contains(address, port))
        m_pendingCalls.Refresh(address, port, request.token);
    else
        m_pendingCalls.Add(address, port, request.token);
    m_reports.PostConnection(address, port, request.userData, 0);
}

void CIncomingCalls::OnSecureRequest(const std::string& address, int port, const uint8_t* payload,
                                     int length) {
    if (AnsweredAsUnavailable(address, port))
        return;
    CSecureCallee::Request request;
    if (!CSecureCallee::ParseRequest(payload, length, &request) ||
        !Cpace::ShareDecodes(request.share))
        return;
    m_pendingCalls.Remove(address, port); // the caller's latest request decides
    const CSecureAttempts::Filed filed = m_attempts.File(address, port, request, m_clock.NowMs());
    switch (filed.action) {
    case CSecureAttempts::Filing::Announce:
        // Announced like a stated request, without a password: admission stays with the
        // station, which answers with the password it holds.
        m_reports.PostConnection(address, port, "ID=" + request.user, filed.serial);
        break;
    case CSecureAttempts::Filing::ResendAccept:
        // Its accept may have been lost: one more, to that caller only.
        m_transport.Send(PKT_SECURE_ACCEPT, filed.accept->data(),
                         static_cast<int>(filed.accept->size()), address, port);
        break;
    case CSecureAttempts::Filing::Quiet:
        break;
    }
}

bool CIncomingCalls::AcceptStated(const std::string& address, int port) {
    if (!m_pendingCalls.TokenOf(address, port, &m_acceptedToken))
        return false;
    const std::vector<uint8_t> accept = BuildTokenPayload(m_acceptedToken);
    for (int i = 0; i < kAcceptCopies; ++i)
        m_transport.Send(PKT_ACCEPT, accept.data(), static_cast<int>(accept.size()), address, port);
    m_pendingCalls.Remove(address, port);
    return true;
}

bool CIncomingCalls::Refuse(const std::string& address, int port) {
    SecureCall::Sid sid{};
    bool send = false;
    if (m_attempts.Refuse(address, port, m_clock.NowMs(), &sid, &send) ==
        CSecureAttempts::Answer::Done) {
        if (send)
            m_transport.Send(PKT_SECURE_REJECT, sid.data(), static_cast<int>(sid.size()), address,
                             port);
        return true;
    }
    CCallToken token;
    if (!m_pendingCalls.TokenOf(address, port, &token))
        return false;
    m_rejectedToken = token;
    const std::vector<uint8_t> reject = BuildTokenPayload(token);
    m_transport.Send(PKT_REJECT, reject.data(), static_cast<int>(reject.size()), address, port);
    m_pendingCalls.Remove(address, port);
    return true;
}

CSecureAttempts::Answer CIncomingCalls::AcceptSecure(const std::string& address, int port,
                                                     const std::string& password, uint8_t flags,
                                                     int64_t timeOutMs) {
    const int64_t now = m_clock.NowMs();
    std::vector<uint8_t> accept;
    const CSecureAttempts::Answer answer =
        m_attempts.Accept(address, port, password, flags, now + timeOutMs, now, &accept);
    if (answer == CSecureAttempts::Answer::Done)
        for (int i = 0; i < kAcceptCopies; ++i)
            m_transport.Send(PKT_SECURE_ACCEPT, accept.data(), static_cast<int>(accept.size()),
                             address, port);
    return answer;
}

bool CIncomingCalls::ExpireAttempts() {
    return m_attempts.Expire(m_clock.NowMs()) > 0 && m_attempts.AcceptedCount() == 0;
}

void CIncomingCalls::Age() {
    m_pendingCalls.Age();
    m_attempts.Age(m_clock.NowMs());
}

void CIncomingCalls::Reset() {
    m_busy = false;
    m_notAvailable = false;
    m_acceptedToken = CCallToken();
    m_rejectedToken = CCallToken();
    m_attempts.Reset();
}

int32_t CIncomingCalls::SecurityOf(const std::string& address, int port) const {
    if (m_attempts.HasPending(address, port))
        return SECURITY_ENCRYPTED;
    return m_pendingCalls.Contains(address, port) ? SECURITY_STATED : SECURITY_NONE;
}
