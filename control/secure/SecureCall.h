// SPDX-License-Identifier: GPL-3.0-or-later
// SecureCall: sizes and identifiers of the encrypted call, and the start of libsodium.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Layout of the secure packets (the bytes after the type byte):
//   20 request  version, flags, sid, Ya, user, 0        52..306 bytes
//   21 accept   sid, version, flags, Yb, Tb             82
//   22 confirm  sid, Ta                                 48
//   23 reject   sid                                     16
//   24 data     counter (8, LE), ciphertext, tag (16)   25..
namespace SecureCall {

inline constexpr uint8_t kVersion = 1;
// Flag bits of a request and its accept: what both stations can do beyond the first
// edition. An accept sets a bit only when the request had it; both flag bytes are bound
// into the tags, so a change on the way fails them.
inline constexpr uint8_t kFlagWideband = 0x01; // Opus voice, inner type 30
inline constexpr uint8_t kFlagReports = 0x02;  // call reports, inner type 31
inline constexpr int kSidBytes = 16;
inline constexpr int kShareBytes = 32; // a ristretto255 element
inline constexpr int kScalarBytes = 32;
inline constexpr int kTagBytes = 32;   // Ta, Tb: HMAC-SHA-512 cut to 32 bytes
inline constexpr int kKeyBytes = 32;
inline constexpr int kCounterBytes = 8;
inline constexpr int kSealTagBytes = 16; // Poly1305
inline constexpr int kMaxUserBytes = 255;

inline constexpr int kRequestFixedBytes = 2 + kSidBytes + kShareBytes; // before the user
inline constexpr int kAcceptBytes = kSidBytes + 2 + kShareBytes + kTagBytes;
inline constexpr int kConfirmBytes = kSidBytes + kTagBytes;
inline constexpr int kRejectBytes = kSidBytes;
// Counter and tag around the sealed stated packet (its type byte and payload).
inline constexpr int kDataOverheadBytes = kCounterBytes + kSealTagBytes;

using Sid = std::array<uint8_t, kSidBytes>;
using Share = std::array<uint8_t, kShareBytes>;

// libsodium, started once per process (thread-safe). False when it cannot start: then
// no secure call can be placed or answered.
bool Ready();

// The sid of a type 21, 22 or 23 payload (its first 16 bytes); false when shorter.
bool ReadSid(const uint8_t* payload, int length, Sid* sid);

} // namespace SecureCall
