// SPDX-License-Identifier: GPL-3.0-or-later
// PayloadCipher: how a text or voice payload is encrypted for the wire.
#include "PayloadCipher.h"

#include "CBlowfish.h"

#include <algorithm>
#include <memory>

namespace PayloadCipher {
namespace {

std::shared_ptr<const CBlowfish> KeyedCipher(const std::string& key) {
    return CBlowfish::ForKey(
        reinterpret_cast<const uint8_t*>(key.data()),
        static_cast<int>(std::min<std::size_t>(key.size(), kMaxKeyBytes)));
}

} // namespace

std::vector<uint8_t> Encrypt(const std::string& key, const uint8_t* payload, int length) {
    std::vector<uint8_t> encrypted(static_cast<std::size_t>(CBlowfish::PaddedLength(length)));
    KeyedCipher(key)->Encrypt(payload, encrypted.data(), length);
    return encrypted;
}

std::vector<uint8_t> Decrypt(const std::string& key, const uint8_t* payload, int length) {
    std::vector<uint8_t> plain(static_cast<std::size_t>(CBlowfish::PaddedLength(length)));
    KeyedCipher(key)->Decrypt(payload, plain.data(), length);
    return plain;
}

} // namespace PayloadCipher
