// SPDX-License-Identifier: GPL-3.0-or-later
// Cpace: the steps of CPace over ristretto255 with SHA-512, and the call keys.
#include "Cpace.h"

#include <sodium.h>

#include <algorithm>

namespace Cpace {
namespace {

constexpr std::string_view kDsi = "CPaceRistretto255";
constexpr std::string_view kDsiIsk = "CPaceRistretto255_ISK";
constexpr std::string_view kMacLabel = "CPaceMac";
constexpr std::string_view kCallLabel = "TESSORA secure call";
constexpr std::size_t kHashBlockBytes = 128; // SHA-512's input block
constexpr std::size_t kMaxLebBytes = 10;     // enough for any 64-bit length

// LEB128 of n into out; the number of bytes written.
std::size_t Leb128(std::size_t n, uint8_t out[kMaxLebBytes]) {
    std::size_t used = 0;
    do {
        uint8_t byte = static_cast<uint8_t>(n & 0x7f);
        n >>= 7;
        if (n != 0)
            byte |= 0x80;
        out[used++] = byte;
    } while (n != 0);
    return used;
}

const uint8_t* Data(std::string_view b) {
    return reinterpret_cast<const uint8_t*>(b.data());
}

template <std::size_t N> std::string_view ViewSecret(const SecretBytes<N>& b) {
    return {reinterpret_cast<const char*>(b.data()), N};
}

// prepend_len(b) straight into a running hash or MAC, so that no copy of a secret
// part (K, the password) is left behind in a scratch buffer.
template <typename Update> void FeedLvWith(Update update, std::string_view b) {
    uint8_t length[kMaxLebBytes];
    update(length, Leb128(b.size(), length));
    update(Data(b), b.size());
}

void FeedLv(crypto_hash_sha512_state* state, std::string_view b) {
    FeedLvWith([state](const uint8_t* p, std::size_t n) { crypto_hash_sha512_update(state, p, n); },
               b);
}

void FeedLv(crypto_auth_hmacsha512_state* state, std::string_view b) {
    FeedLvWith(
        [state](const uint8_t* p, std::size_t n) { crypto_auth_hmacsha512_update(state, p, n); },
        b);
}

// libsodium 1.0.18 ignores an encoding's top bit when it decodes, which gives every
// element a second encoding; ristretto255 allows only the one with that bit clear.
bool TopBitClear(const SecureCall::Share& share) {
    return (share[SecureCall::kShareBytes - 1] & 0x80) == 0;
}

} // namespace

Bytes PrependLen(std::string_view b) {
    return LvCat({b});
}

Bytes LvCat(std::initializer_list<std::string_view> parts) {
    // Sized once and written in place: no temporary or reallocated copy of a part (the
    // password, in the generator string) is left behind in freed memory.
    uint8_t length[kMaxLebBytes];
    std::size_t total = 0;
    for (std::string_view part : parts)
        total += Leb128(part.size(), length) + part.size();
    Bytes out;
    out.reserve(total);
    for (std::string_view part : parts) {
        out.insert(out.end(), length, length + Leb128(part.size(), length));
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes ChannelIdentifier(std::string_view user) {
    return LvCat({kCallLabel, user});
}

namespace {

// The padding fills SHA-512's first input block with the label and the password alone;
// CI and sid, which are public, start the next block.
std::string ZeroPadding(std::string_view prs) {
    uint8_t scratch[kMaxLebBytes];
    const std::size_t used =
        Leb128(prs.size(), scratch) + prs.size() + Leb128(kDsi.size(), scratch) + kDsi.size() + 1;
    return std::string(kHashBlockBytes - std::min(used, kHashBlockBytes), '\0');
}

} // namespace

bool Generator(std::string_view prs, std::string_view ci, std::string_view sid,
               SecureCall::Share* g) {
    if (!SecureCall::Ready())
        return false;
    // Straight into the hash: the generator string holds the password, and no copy of
    // it is made.
    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    const std::string zpad = ZeroPadding(prs);
    for (std::string_view part : {kDsi, prs, std::string_view(zpad), ci, sid})
        FeedLv(&state, part);
    uint8_t hash[crypto_hash_sha512_BYTES];
    crypto_hash_sha512_final(&state, hash);
    sodium_memzero(&state, sizeof state);
    const bool mapped = crypto_core_ristretto255_from_hash(g->data(), hash) == 0;
    sodium_memzero(hash, sizeof hash);
    return mapped;
}

void RandomScalar(Scalar* y) {
    SecureCall::Ready();
    crypto_core_ristretto255_scalar_random(y->data());
}

bool ScalarMult(const Scalar& y, const SecureCall::Share& point, SecretBytes<32>* out) {
    if (SecureCall::Ready() && TopBitClear(point) &&
        crypto_scalarmult_ristretto255(out->data(), y.data(), point.data()) == 0)
        return true;
    out->Wipe();
    return false;
}

bool ShareDecodes(const SecureCall::Share& share) {
    // libsodium decodes the identity (all zero bytes) like any other element.
    return SecureCall::Ready() && TopBitClear(share) &&
           crypto_core_ristretto255_is_valid_point(share.data()) == 1 &&
           !sodium_is_zero(share.data(), share.size());
}

void SessionKey(std::string_view sid, const SecretBytes<32>& k, const SecureCall::Share& ya,
                std::string_view adA, const SecureCall::Share& yb, std::string_view adB, Isk* isk) {
    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    for (std::string_view part : {kDsiIsk, sid, ViewSecret(k), View(ya), adA, View(yb), adB})
        FeedLv(&state, part);
    crypto_hash_sha512_final(&state, isk->data());
    sodium_memzero(&state, sizeof state);
}

void MacKey(std::string_view sid, const Isk& isk, SecretBytes<64>* mac) {
    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    crypto_hash_sha512_update(&state, Data(kMacLabel), kMacLabel.size());
    crypto_hash_sha512_update(&state, Data(sid), sid.size());
    crypto_hash_sha512_update(&state, isk.data(), isk.size());
    crypto_hash_sha512_final(&state, mac->data());
    sodium_memzero(&state, sizeof state);
}

Tag ConfirmationTag(const SecretBytes<64>& mac, const SecureCall::Share& y, std::string_view ad) {
    crypto_auth_hmacsha512_state state;
    crypto_auth_hmacsha512_init(&state, mac.data(), mac.size());
    FeedLv(&state, View(y));
    FeedLv(&state, ad);
    uint8_t full[crypto_auth_hmacsha512_BYTES];
    crypto_auth_hmacsha512_final(&state, full);
    Tag tag;
    std::copy_n(full, tag.size(), tag.begin());
    sodium_memzero(&state, sizeof state);
    sodium_memzero(full, sizeof full);
    return tag;
}

void DirectionKey(const Isk& isk, std::string_view label, Key* key) {
    crypto_generichash(key->data(), key->size(), Data(label), label.size(), isk.data(), isk.size());
}

bool TagsEqual(const Tag& a, const Tag& b) {
    return sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace Cpace
