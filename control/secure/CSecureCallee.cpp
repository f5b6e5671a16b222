// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureCallee: the called station's side of the CPace exchange.
#include "CSecureCallee.h"

#include "CpaceSide.h"

#include <algorithm>

bool CSecureCallee::ParseRequest(const uint8_t* payload, int length, Request* out) {
    constexpr int kFixed = SecureCall::kRequestFixedBytes;
    if (payload == nullptr || length < kFixed + 2 ||
        length > kFixed + SecureCall::kMaxUserBytes + 1)
        return false;
    const uint8_t* user = payload + kFixed;
    const uint8_t* end = payload + length - 1; // the terminator
    if (payload[0] != SecureCall::kVersion || *end != 0 || std::find(user, end, 0) != end)
        return false;
    out->version = payload[0];
    out->flags = payload[1];
    std::copy_n(payload + 2, out->sid.size(), out->sid.begin());
    std::copy_n(payload + 2 + out->sid.size(), out->share.size(), out->share.begin());
    out->user.assign(user, end);
    return true;
}

bool CSecureCallee::Start(const Request& request, const std::string& password, uint8_t flags) {
    Cpace::Scalar scalar;
    Cpace::RandomScalar(&scalar);
    return StartWith(request, password, scalar.data(), flags);
}

bool CSecureCallee::StartWith(const Request& request, const std::string& password,
                              const uint8_t scalar[SecureCall::kScalarBytes], uint8_t flags) {
    Clear();
    Cpace::Scalar yb;
    std::copy_n(scalar, SecureCall::kScalarBytes, yb.data());
    SecureCall::Share ownShare;
    SecretBytes<32> k;
    if (!SecureCall::Ready() ||
        !CpaceSide::OwnShare(password, request.user, request.sid, yb, &ownShare) ||
        !Cpace::ScalarMult(yb, request.share, &k))
        return false;

    // A bit is set only when the request had it too; every other bit is 0 when sent.
    const uint8_t agreed = static_cast<uint8_t>(request.flags & flags);
    const CpaceSide::Ad acceptAd = {SecureCall::kVersion, agreed};
    CpaceSide::Secrets secrets;
    secrets.Derive(request.sid, k, request.share, {request.version, request.flags}, ownShare,
                   acceptAd);
    m_sid = request.sid;
    m_user = request.user;
    m_agreedFlags = agreed;
    m_expectedTa = secrets.ta;
    m_accept.assign(m_sid.begin(), m_sid.end());
    m_accept.insert(m_accept.end(), acceptAd.begin(), acceptAd.end());
    m_accept.insert(m_accept.end(), ownShare.begin(), ownShare.end());
    m_accept.insert(m_accept.end(), secrets.tb.begin(), secrets.tb.end());
    m_channel = secrets.Channel(CSecureChannel::Role::Callee);
    m_started = true;
    return true;
}

bool CSecureCallee::CheckConfirm(const uint8_t* payload, int length) const {
    if (!m_started || payload == nullptr || length != SecureCall::kConfirmBytes ||
        !std::equal(m_sid.begin(), m_sid.end(), payload))
        return false;
    Cpace::Tag ta;
    std::copy_n(payload + SecureCall::kSidBytes, ta.size(), ta.begin());
    return Cpace::TagsEqual(ta, m_expectedTa);
}

std::unique_ptr<CSecureChannel> CSecureCallee::TakeChannel() {
    return std::move(m_channel);
}

void CSecureCallee::Clear() {
    m_started = false;
    WipeSecret(m_sid.data(), m_sid.size());
    m_user.clear();
    m_agreedFlags = 0;
    WipeSecret(m_expectedTa.data(), m_expectedTa.size());
    WipeSecret(m_accept.data(), m_accept.size()); // holds Tb
    m_accept.clear();
    m_channel.reset();
}
