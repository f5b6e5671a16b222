// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureCaller: the calling station's side of the CPace exchange.
#pragma once

#include "CSecureChannel.h"
#include "Cpace.h"
#include "SecureCall.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One attempt: Start draws the sid and the scalar and builds the request; OnAccept
// checks the host's answer and, when its tag verifies, yields the confirmation and
// the channel. The scalar, the keys and the password's generator stay inside and are
// wiped by Clear and the destructor.
//
// Threads: one thread (the control's).
class CSecureCaller {
public:
    CSecureCaller() = default;
    ~CSecureCaller() { Clear(); }
    CSecureCaller(const CSecureCaller&) = delete;
    CSecureCaller& operator=(const CSecureCaller&) = delete;

    // False, with nothing kept, when the user is empty, longer than 255 bytes or holds
    // a zero byte, or when libsodium or the random source fails. `flags`: the request's
    // flag bits (SecureCall::kFlag...).
    bool Start(const std::string& user, const std::string& password, uint8_t flags = 0);
    // The same with a given sid and scalar, for the published vectors.
    bool StartWith(const std::string& user, const std::string& password,
                   const SecureCall::Sid& sid, const uint8_t scalar[SecureCall::kScalarBytes],
                   uint8_t flags = 0);
    bool Started() const { return m_started; }

    const SecureCall::Sid& SessionId() const { return m_sid; }
    // The type-20 payload; the same bytes for every copy of the request.
    const std::vector<uint8_t>& RequestPayload() const { return m_request; }

    enum class Answer {
        Ignored,       // not an accept of this attempt, or its share is invalid
        WrongPassword, // this attempt's accept, but Tb does not verify
        Accepted,      // Tb verified: ConfirmPayload and TakeChannel are ready
    };
    // A type-21 payload.
    Answer OnAccept(const uint8_t* payload, int length);
    // The type-22 payload, after Accepted.
    const std::vector<uint8_t>& ConfirmPayload() const { return m_confirm; }
    // The call's channel, once, after Accepted.
    std::unique_ptr<CSecureChannel> TakeChannel();
    // The flag bits both sides set: the accept's, as far as this request offered them.
    uint8_t AgreedFlags() const { return m_agreedFlags; }

    void Clear();

private:
    bool m_started = false;
    SecureCall::Sid m_sid{};
    Cpace::Scalar m_scalar;
    SecureCall::Share m_share{}; // Ya
    uint8_t m_flags = 0;
    uint8_t m_agreedFlags = 0;
    std::vector<uint8_t> m_request;
    std::vector<uint8_t> m_confirm;
    std::unique_ptr<CSecureChannel> m_channel;
};
