// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureCallee: the called station's side of the CPace exchange.
#pragma once

#include "CSecureChannel.h"
#include "Cpace.h"
#include "SecureCall.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One accepted request: Start (with the password the station holds for the user)
// answers it with the accept and keeps what the caller's confirmation must show;
// CheckConfirm verifies that, and TakeChannel then gives the call's channel.
// Everything secret is wiped by Clear and the destructor.
//
// Threads: one thread (the control's).
class CSecureCallee {
public:
    // A type-20 payload, read.
    struct Request {
        uint8_t version = 0;
        uint8_t flags = 0;
        SecureCall::Sid sid{};
        SecureCall::Share share{}; // Ya
        std::string user;
    };
    // False for a payload of the wrong size, version other than 1, an empty user, a
    // user with a zero byte inside, or no terminator at the very end.
    static bool ParseRequest(const uint8_t* payload, int length, Request* out);

    CSecureCallee() = default;
    ~CSecureCallee() { Clear(); }
    CSecureCallee(const CSecureCallee&) = delete;
    CSecureCallee& operator=(const CSecureCallee&) = delete;

    // False, with nothing kept, when Ya does not decode (or is the identity) or
    // libsodium fails. `flags`: the flag bits this station can do; the accept sets those
    // the request had too.
    bool Start(const Request& request, const std::string& password, uint8_t flags = 0);
    // The same with a given scalar, for the published vectors.
    bool StartWith(const Request& request, const std::string& password,
                   const uint8_t scalar[SecureCall::kScalarBytes], uint8_t flags = 0);
    bool Started() const { return m_started; }

    const SecureCall::Sid& SessionId() const { return m_sid; }
    // The user name the answered request carried.
    const std::string& User() const { return m_user; }
    // The flag bits the accept set: what both sides agreed on.
    uint8_t AgreedFlags() const { return m_agreedFlags; }
    // The type-21 payload: the same bytes for every copy.
    const std::vector<uint8_t>& AcceptPayload() const { return m_accept; }
    // A type-22 payload: true when it carries this sid and Ta verifies (constant time).
    bool CheckConfirm(const uint8_t* payload, int length) const;
    // The call's channel, once, after Start.
    std::unique_ptr<CSecureChannel> TakeChannel();

    void Clear();

private:
    bool m_started = false;
    SecureCall::Sid m_sid{};
    std::string m_user;
    uint8_t m_agreedFlags = 0;
    Cpace::Tag m_expectedTa{};
    std::vector<uint8_t> m_accept;
    std::unique_ptr<CSecureChannel> m_channel;
};
