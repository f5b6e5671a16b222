// SPDX-License-Identifier: GPL-3.0-or-later
// Cpace: the steps of CPace over ristretto255 with SHA-512 (CPACE-RISTR255-SHA512,
// initiator-responder), and the call keys derived from its session key.
#pragma once

#include "SecretBytes.h"
#include "SecureCall.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Byte strings are passed as std::string_view over raw bytes (zero bytes allowed).
// Each step is a function of its inputs only, so the tests check it against published
// vectors; CSecureCaller and CSecureCallee put them together.
namespace Cpace {

using Bytes = std::vector<uint8_t>;
using Isk = SecretBytes<64>;
using Key = SecretBytes<SecureCall::kKeyBytes>;
using Scalar = SecretBytes<SecureCall::kScalarBytes>;
using Tag = std::array<uint8_t, SecureCall::kTagBytes>;

// LEB128 length of b, then b.
Bytes PrependLen(std::string_view b);
// prepend_len of each part in turn.
Bytes LvCat(std::initializer_list<std::string_view> parts);
inline std::string_view View(const Bytes& b) {
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}
template <std::size_t N> std::string_view View(const std::array<uint8_t, N>& b) {
    return {reinterpret_cast<const char*>(b.data()), N};
}

// CI of a TESSORA call: lv_cat("TESSORA secure call", user).
Bytes ChannelIdentifier(std::string_view user);

// from_hash(SHA-512(lv_cat("CPaceRistretto255", PRS, zpad, CI, sid))), zpad padding the
// first hash block. False when libsodium is not ready.
bool Generator(std::string_view prs, std::string_view ci, std::string_view sid,
               SecureCall::Share* g);

// A fresh random scalar (never zero).
void RandomScalar(Scalar* y);
// y * point. False when the point does not decode or the result is the identity:
// the packet that carried it is then ignored.
bool ScalarMult(const Scalar& y, const SecureCall::Share& point, SecretBytes<32>* out);
// True when `share` is the encoding of an element other than the identity.
bool ShareDecodes(const SecureCall::Share& share);

// SHA-512(lv_cat("CPaceRistretto255_ISK", sid, K) || lv_cat(Ya, ADa) || lv_cat(Yb, ADb)).
void SessionKey(std::string_view sid, const SecretBytes<32>& k, const SecureCall::Share& ya,
                std::string_view adA, const SecureCall::Share& yb, std::string_view adB,
                Isk* isk);
// SHA-512("CPaceMac" || sid || ISK).
void MacKey(std::string_view sid, const Isk& isk, SecretBytes<64>* mac);
// The first 32 bytes of HMAC-SHA-512(key = mac, lv_cat(Y, AD)).
Tag ConfirmationTag(const SecretBytes<64>& mac, const SecureCall::Share& y, std::string_view ad);
// Keyed BLAKE2b-256 of `label` under ISK: "TESSORA caller to callee" and the reverse.
void DirectionKey(const Isk& isk, std::string_view label, Key* key);
inline constexpr std::string_view kCallerToCallee = "TESSORA caller to callee";
inline constexpr std::string_view kCalleeToCaller = "TESSORA callee to caller";

// Equal in constant time.
bool TagsEqual(const Tag& a, const Tag& b);

} // namespace Cpace
