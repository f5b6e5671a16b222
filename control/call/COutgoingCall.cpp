// SPDX-License-Identifier: GPL-3.0-or-later
// COutgoingCall: the request of a call this station places, stated or encrypted.
#include "COutgoingCall.h"

#include "Packets.h"
#include "SecretBytes.h"
#include "SecureCall.h"
#include "TavrinoStandardApi.h"

#include <algorithm>

using namespace Tavrino;

bool COutgoingCall::StartStated(const std::string& userData) {
    Reset();
    CCallToken token;
    if (!CCallToken::Draw(&token))
        return false;
    m_token = token;
    m_requestType = PKT_CALL_REQUEST;
    m_request = BuildCallRequestPayload(userData, m_token);
    return true;
}

bool COutgoingCall::StartSecure(const std::string& user, const std::string& password,
                                const std::string& fallbackUserData, uint8_t flags) {
    Reset();
    auto caller = std::make_unique<CSecureCaller>();
    if (!caller->Start(user, password, flags))
        return false;
    m_secureCaller = std::move(caller);
    m_outcome = SECURE_OUTCOME_NONE;
    m_secureRequestsSent = 1; // the one PlaceTo sends
    m_fallbackUserData = fallbackUserData;
    m_requestType = PKT_SECURE_REQUEST;
    m_request = m_secureCaller->RequestPayload();
    return true;
}

void COutgoingCall::SendTo(const std::string& address) {
    m_transport.Send(m_requestType, m_request.data(), static_cast<int>(m_request.size()), address,
                     m_port);
}

void COutgoingCall::PlaceTo(std::vector<std::string> addresses, int port) {
    m_candidates.Reset(std::move(addresses));
    m_port = port;
    SendTo(m_candidates.First());
}

void COutgoingCall::FallBack() {
    CCallToken token;
    if (!CCallToken::Draw(&token))
        return; // the encrypted request goes on instead
    m_secureCaller.reset();
    m_outcome = SECURE_OUTCOME_FELL_BACK;
    m_token = token;
    m_requestType = PKT_CALL_REQUEST;
    m_request = BuildCallRequestPayload(m_fallbackUserData, m_token);
}

void COutgoingCall::Resend() {
    // A call that may fall back does so once its encrypted requests went unanswered.
    if (IsSecure() && !m_fallbackUserData.empty() &&
        m_secureRequestsSent >= kSecureRequestsBeforeFallback)
        FallBack();
    if (m_requestType == PKT_SECURE_REQUEST)
        ++m_secureRequestsSent;
    // Every address brought in; after a reset, the (empty) first as ever.
    if (m_candidates.Tried().empty())
        SendTo(m_candidates.First());
    for (const std::string& address : m_candidates.Tried())
        SendTo(address);
}

bool COutgoingCall::BringInNext() {
    if (!m_candidates.HasNext())
        return false;
    SendTo(m_candidates.BringInNext());
    return true;
}

bool COutgoingCall::IsOwnReject(const uint8_t* payload, int length) const {
    SecureCall::Sid sid{};
    return IsSecure() && length == SecureCall::kRejectBytes &&
           SecureCall::ReadSid(payload, length, &sid) && sid == m_secureCaller->SessionId();
}

CSecureCaller::Answer COutgoingCall::OnAccept(const std::string& address, int port,
                                              const uint8_t* payload, int length,
                                              std::unique_ptr<CSecureChannel>* channel) {
    if (!IsSecure())
        return CSecureCaller::Answer::Ignored;
    const CSecureCaller::Answer answer = m_secureCaller->OnAccept(payload, length);
    if (answer == CSecureCaller::Answer::WrongPassword)
        m_outcome = SECURE_OUTCOME_PASSWORD_REFUSED;
    if (answer != CSecureCaller::Answer::Accepted)
        return answer;
    const std::vector<uint8_t>& confirm = m_secureCaller->ConfirmPayload();
    for (int i = 0; i < kConfirmCopies; ++i)
        m_transport.Send(PKT_SECURE_CONFIRM, confirm.data(), static_cast<int>(confirm.size()),
                         address, port);
    *channel = m_secureCaller->TakeChannel();
    m_agreedFlags = m_secureCaller->AgreedFlags();
    m_outcome = SECURE_OUTCOME_CONNECTED;
    return answer;
}

void COutgoingCall::Ended(int32_t status) {
    if (IsSecure() && m_outcome == SECURE_OUTCOME_NONE)
        m_outcome = status == STATUS_TIMEOUT ? SECURE_OUTCOME_NO_ANSWER : SECURE_OUTCOME_ENDED;
}

void COutgoingCall::Reset() {
    WipeSecret(m_request.data(), m_request.size());
    m_request.clear();
    WipeSecret(m_fallbackUserData.data(), m_fallbackUserData.size());
    m_fallbackUserData.clear();
    m_secureCaller.reset(); // wipes the attempt's scalar and keys
    m_token = CCallToken();
    m_candidates.Reset();
    m_port = -1; // a resend still due goes nowhere
    m_secureRequestsSent = 0;
}
