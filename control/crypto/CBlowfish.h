// SPDX-License-Identifier: GPL-3.0-or-later
// Blowfish payload cipher: ECB with zero padding, little-endian 32-bit halves.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

// A keyed context is immutable: Encrypt and Decrypt only read it. Threads: a context is
// keyed by the thread that built it; once keyed, it may be shared and used from several
// threads at once (ForKey hands out such shared contexts).
//
// Each 8-byte block is read as two little-endian words, L from bytes 0..3 and
// R from bytes 4..7, which is the reverse of the big-endian order of the
// published test vectors; the peer expects exactly this order on the wire.
//
// A context that has not been keyed successfully (no SetKey yet, or SetKey
// with no key bytes) refuses to work rather than running on unkeyed tables:
// Encrypt and Decrypt then fill the output with zeros, so neither plaintext
// nor pseudo-ciphertext ever leaves it, and Encrypt returns 0.
class CBlowfish {
public:
    CBlowfish();
    ~CBlowfish();
    CBlowfish(const CBlowfish&) = delete;
    CBlowfish& operator=(const CBlowfish&) = delete;

    // Standard key schedule. Key bytes are used cyclically; bytes past the
    // 72nd have no effect. A null key or length < 1 leaves the context unkeyed.
    void SetKey(const uint8_t* key, int length);
    bool IsKeyed() const { return m_keyed; }

    // A context keyed with these key bytes, shared with earlier callers that passed the
    // same bytes: the key schedule costs about as much as encoding a voice frame, so it
    // is run once per key, not per payload. Only the latest key is kept; a key change
    // builds a new context while holders of the old one keep using it. Any thread.
    static std::shared_ptr<const CBlowfish> ForKey(const uint8_t* key, int length);

    // n rounded up to a multiple of 8; 0 for n <= 0 and for n too large to round.
    static int PaddedLength(int n);

    // Encrypts n bytes into PaddedLength(n) bytes, zero padded. In place is
    // allowed when the buffer holds PaddedLength(n) bytes. Returns
    // PaddedLength(n), or 0 when the context is unkeyed (output zeroed).
    int Encrypt(const uint8_t* input, uint8_t* output, int n) const;

    // Decrypts ceil(n/8) blocks into PaddedLength(n) bytes of output; in place
    // allowed. Only n input bytes are read: a trailing partial block is
    // completed with zeros first. An unkeyed context writes zeros instead.
    void Decrypt(const uint8_t* input, uint8_t* output, int n) const;

    // Raw block functions on the two halves, as the key schedule uses them.
    void EncryptBlock(uint32_t& left, uint32_t& right) const;
    void DecryptBlock(uint32_t& left, uint32_t& right) const;

private:
    using BlockFunction = void (CBlowfish::*)(uint32_t&, uint32_t&) const;

    uint32_t F(uint32_t x) const;
    // Copies n bytes to the output (unless in place), zero-pads them to whole blocks and
    // runs `block` on each block; returns the padded length, or 0 (output zeroed) unkeyed.
    int ProcessBlocks(const uint8_t* input, uint8_t* output, int n, BlockFunction block) const;

    using PArray = std::array<uint32_t, 18>;
    using SBoxes = std::array<std::array<uint32_t, 256>, 4>;
    std::unique_ptr<PArray> m_p;
    std::unique_ptr<SBoxes> m_s;
    bool m_keyed = false;
};
