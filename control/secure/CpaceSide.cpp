// SPDX-License-Identifier: GPL-3.0-or-later
// CpaceSide: what the caller and the callee compute the same way in the exchange.
#include "CpaceSide.h"

#include <sodium.h>

#include <algorithm>

namespace CpaceSide {

bool OwnShare(const std::string& password, const std::string& user, const SecureCall::Sid& sid,
              const Cpace::Scalar& y, SecureCall::Share* share) {
    SecureCall::Share g{};
    SecretBytes<SecureCall::kShareBytes> product;
    const bool made = Cpace::Generator(password, Cpace::View(Cpace::ChannelIdentifier(user)),
                                       Cpace::View(sid), &g) &&
                      Cpace::ScalarMult(y, g, &product);
    // The generator is a function of the password: whoever sees it can test guesses.
    sodium_memzero(g.data(), g.size());
    if (made)
        std::copy_n(product.data(), share->size(), share->begin());
    return made;
}

Secrets::~Secrets() {
    sodium_memzero(ta.data(), ta.size());
    sodium_memzero(tb.data(), tb.size());
}

void Secrets::Derive(const SecureCall::Sid& sid, const SecretBytes<32>& k,
                     const SecureCall::Share& ya, const Ad& adA, const SecureCall::Share& yb,
                     const Ad& adB) {
    Cpace::Isk isk;
    SecretBytes<64> mac;
    Cpace::SessionKey(Cpace::View(sid), k, ya, Cpace::View(adA), yb, Cpace::View(adB), &isk);
    Cpace::MacKey(Cpace::View(sid), isk, &mac);
    ta = Cpace::ConfirmationTag(mac, ya, Cpace::View(adA));
    tb = Cpace::ConfirmationTag(mac, yb, Cpace::View(adB));
    Cpace::DirectionKey(isk, Cpace::kCallerToCallee, &callerToCallee);
    Cpace::DirectionKey(isk, Cpace::kCalleeToCaller, &calleeToCaller);
}

std::unique_ptr<CSecureChannel> Secrets::Channel(CSecureChannel::Role role) {
    return std::make_unique<CSecureChannel>(role, std::move(callerToCallee),
                                            std::move(calleeToCaller));
}

} // namespace CpaceSide
