// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureCaller: the calling station's side of the CPace exchange.
#include "CSecureCaller.h"

#include "CpaceSide.h"

#include <sodium.h>

#include <algorithm>

namespace {

bool UserFits(const std::string& user) {
    return !user.empty() && user.size() <= static_cast<size_t>(SecureCall::kMaxUserBytes) &&
           user.find('\0') == std::string::npos;
}


} // namespace

bool CSecureCaller::Start(const std::string& user, const std::string& password, uint8_t flags) {
    if (!SecureCall::Ready())
        return false;
    SecureCall::Sid sid;
    randombytes_buf(sid.data(), sid.size());
    Cpace::Scalar scalar;
    Cpace::RandomScalar(&scalar);
    return StartWith(user, password, sid, scalar.data(), flags);
}

bool CSecureCaller::StartWith(const std::string& user, const std::string& password,
                              const SecureCall::Sid& sid,
                              const uint8_t scalar[SecureCall::kScalarBytes], uint8_t flags) {
    Clear();
    if (!UserFits(user) || !SecureCall::Ready())
        return false;
    std::copy_n(scalar, SecureCall::kScalarBytes, m_scalar.data());
    if (!CpaceSide::OwnShare(password, user, sid, m_scalar, &m_share)) {
        Clear();
        return false;
    }
    m_sid = sid;
    m_flags = flags;
    m_request.assign({SecureCall::kVersion, m_flags});
    m_request.insert(m_request.end(), sid.begin(), sid.end());
    m_request.insert(m_request.end(), m_share.begin(), m_share.end());
    m_request.insert(m_request.end(), user.begin(), user.end());
    m_request.push_back(0);
    m_started = true;
    return true;
}

CSecureCaller::Answer CSecureCaller::OnAccept(const uint8_t* payload, int length) {
    // Once accepted, the host's further copies of its accept change nothing.
    if (!m_started || !m_confirm.empty() || payload == nullptr ||
        length != SecureCall::kAcceptBytes || !std::equal(m_sid.begin(), m_sid.end(), payload))
        return Answer::Ignored;
    const uint8_t* at = payload + SecureCall::kSidBytes;
    const CpaceSide::Ad acceptAd = {at[0], at[1]};
    if (acceptAd[0] != SecureCall::kVersion)
        return Answer::Ignored;
    at += acceptAd.size();
    SecureCall::Share yb;
    std::copy_n(at, yb.size(), yb.begin());
    Cpace::Tag tb;
    std::copy_n(at + yb.size(), tb.size(), tb.begin());

    SecretBytes<32> k;
    if (!Cpace::ScalarMult(m_scalar, yb, &k))
        return Answer::Ignored;
    CpaceSide::Secrets secrets;
    secrets.Derive(m_sid, k, m_share, {SecureCall::kVersion, m_flags}, yb, acceptAd);
    if (!Cpace::TagsEqual(secrets.tb, tb))
        return Answer::WrongPassword;

    m_confirm.assign(m_sid.begin(), m_sid.end());
    m_confirm.insert(m_confirm.end(), secrets.ta.begin(), secrets.ta.end());
    m_channel = secrets.Channel(CSecureChannel::Role::Caller);
    // Every other flag bit is ignored when received, and one we did not offer means nothing.
    m_agreedFlags = static_cast<uint8_t>(acceptAd[1] & m_flags);
    // The scalar has done its work; without it this call's keys cannot be found again.
    m_scalar.Wipe();
    return Answer::Accepted;
}

std::unique_ptr<CSecureChannel> CSecureCaller::TakeChannel() {
    return std::move(m_channel);
}

void CSecureCaller::Clear() {
    m_started = false;
    m_flags = m_agreedFlags = 0;
    WipeSecret(m_sid.data(), m_sid.size());
    m_scalar.Wipe();
    WipeSecret(m_share.data(), m_share.size());
    m_request.clear();
    WipeSecret(m_confirm.data(), m_confirm.size()); // holds Ta
    m_confirm.clear();
    m_channel.reset();
}
