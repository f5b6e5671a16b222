// SPDX-License-Identifier: GPL-3.0-or-later
// PayloadCipher: how a text or voice payload is encrypted for the wire.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The key is the control's key string; only its first 72 bytes reach the key schedule
// (the cipher ignores the rest, and cutting them keeps equal keys sharing one context).
// A payload is zero padded to whole 8-byte blocks before it is encrypted; a received
// one is decrypted into its padded length, a trailing partial block completed with
// zeros. `key` must not be empty. Any thread.
namespace PayloadCipher {

constexpr int kMaxKeyBytes = 72;

std::vector<uint8_t> Encrypt(const std::string& key, const uint8_t* payload, int length);
std::vector<uint8_t> Decrypt(const std::string& key, const uint8_t* payload, int length);

} // namespace PayloadCipher
