// SPDX-License-Identifier: GPL-3.0-or-later
// CpaceSide: what the caller and the callee compute the same way in the exchange.
#pragma once

#include "CSecureChannel.h"
#include "Cpace.h"
#include "SecureCall.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// Threads: whoever holds a Secrets owns it; the sides use it on the control's thread.
namespace CpaceSide {

// The associated data of a side's message: its version and flags bytes.
using Ad = std::array<uint8_t, 2>;

// y * g, with g the generator of this password, user and sid. False when libsodium
// fails; the generator is wiped either way.
bool OwnShare(const std::string& password, const std::string& user, const SecureCall::Sid& sid,
              const Cpace::Scalar& y, SecureCall::Share* share);

// What K gives both sides: the two tags and the two direction keys. ISK and the mac
// key exist only inside Derive.
struct Secrets {
    Secrets() = default;
    ~Secrets(); // the tags are wiped with the keys
    Secrets(const Secrets&) = delete;
    Secrets& operator=(const Secrets&) = delete;

    Cpace::Tag ta{};
    Cpace::Tag tb{};
    Cpace::Key callerToCallee;
    Cpace::Key calleeToCaller;

    void Derive(const SecureCall::Sid& sid, const SecretBytes<32>& k, const SecureCall::Share& ya,
                const Ad& adA, const SecureCall::Share& yb, const Ad& adB);
    // The call's channel for one side; the keys move into it.
    std::unique_ptr<CSecureChannel> Channel(CSecureChannel::Role role);
};

} // namespace CpaceSide
