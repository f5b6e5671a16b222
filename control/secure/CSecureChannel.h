// SPDX-License-Identifier: GPL-3.0-or-later
// CSecureChannel: the sealed packets of one encrypted call, a key per direction and
// a replay window.
#pragma once

#include "SecretBytes.h"
#include "SecureCall.h"

#include <array>
#include <cstdint>
#include <vector>

// Each stated packet of the call (its type byte and payload) travels as the
// plaintext of a type-24 datagram: counter (8 bytes, little-endian), ChaCha20-Poly1305
// ciphertext, tag. Nonce = four zero bytes || counter; associated data = the
// datagram's first 9 bytes (type 24 and the counter). The caller seals with k_ab and
// opens with k_ba, the callee the other way round.
//
// A packet opens only when its tag verifies and its counter is new: above every
// counter seen, or among the 128 below the highest and not seen before. The window
// moves only after a tag verified.
//
// Threads: Seal and Open touch disjoint state (the sending key and counter, the
// receiving key and window), so one thread may seal while another opens; two Seals
// (or two Opens) at once must be kept apart by the owner.
class CSecureChannel {
public:
    enum class Role { Caller, Callee };
    static constexpr int kWindow = 128;

    // The keys are moved in and wiped with the channel.
    CSecureChannel(Role role, SecretBytes<SecureCall::kKeyBytes> callerToCallee,
                   SecretBytes<SecureCall::kKeyBytes> calleeToCaller);
    CSecureChannel(const CSecureChannel&) = delete;
    CSecureChannel& operator=(const CSecureChannel&) = delete;

    // The payload of the type-24 datagram (after its type byte) carrying one stated
    // packet. False, and `out` empty, when the counter is spent (2^64 packets).
    bool Seal(uint8_t innerType, const uint8_t* payload, int length, std::vector<uint8_t>* out);

    struct Opened {
        uint8_t type = 0;             // the stated packet's type
        std::vector<uint8_t> payload; // and its payload
        bool newest = false;          // its counter is above every one seen before
        uint64_t counter = 0;         // the sender's counter of this packet
    };
    // A received type-24 payload (after its type byte). False, with nothing changed,
    // for a short packet, a tag that does not verify, or a counter already seen or
    // below the window.
    bool Open(const uint8_t* payload, int length, Opened* out);

private:
    SecretBytes<SecureCall::kKeyBytes> m_sendKey;
    SecretBytes<SecureCall::kKeyBytes> m_receiveKey;
    uint64_t m_sendCounter = 0;
    bool m_sendSpent = false;
    // Receive window: the highest counter opened and which of the kWindow below it were.
    bool m_anyOpened = false;
    uint64_t m_highest = 0;
    std::array<uint64_t, kWindow / 64> m_seen{};
};
