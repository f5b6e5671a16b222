// SPDX-License-Identifier: GPL-3.0-or-later
// Blowfish payload cipher: key schedule, block functions, ECB with zero padding.
#include "CBlowfish.h"

#include "BlowfishTables.h"

#include <climits>
#include <cstring>
#include <mutex>
#include <string>

namespace {

uint32_t LoadLittleEndian(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLittleEndian(uint32_t v, uint8_t* p) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

CBlowfish::CBlowfish() : m_p(std::make_unique<PArray>()), m_s(std::make_unique<SBoxes>()) {}

CBlowfish::~CBlowfish() = default;

void CBlowfish::SetKey(const uint8_t* key, int length) {
    m_keyed = false;
    if (key == nullptr || length < 1) {
        return;
    }
    PArray& p = *m_p;
    SBoxes& s = *m_s;
    p = kBlowfishInitP;
    s = kBlowfishInitS;

    int j = 0;
    for (uint32_t& entry : p) {
        uint32_t data = 0;
        for (int k = 0; k < 4; ++k) {
            data = data << 8 | key[j];
            j = (j + 1) % length;
        }
        entry ^= data;
    }

    uint32_t left = 0;
    uint32_t right = 0;
    for (size_t i = 0; i < p.size(); i += 2) {
        EncryptBlock(left, right);
        p[i] = left;
        p[i + 1] = right;
    }
    for (auto& box : s) {
        for (size_t i = 0; i < box.size(); i += 2) {
            EncryptBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
    m_keyed = true;
}

int CBlowfish::PaddedLength(int n) {
    if (n <= 0 || n > INT_MAX - 7) {
        return 0;
    }
    return (n + 7) & ~7;
}

uint32_t CBlowfish::F(uint32_t x) const {
    const SBoxes& s = *m_s;
    return ((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF];
}

void CBlowfish::EncryptBlock(uint32_t& left, uint32_t& right) const {
    const PArray& p = *m_p;
    uint32_t l = left;
    uint32_t r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= p[i];
        r ^= F(l);
        r ^= p[i + 1];
        l ^= F(r);
    }
    left = r ^ p[17];
    right = l ^ p[16];
}

void CBlowfish::DecryptBlock(uint32_t& left, uint32_t& right) const {
    const PArray& p = *m_p;
    uint32_t l = left;
    uint32_t r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= p[i];
        r ^= F(l);
        r ^= p[i - 1];
        l ^= F(r);
    }
    left = r ^ p[0];
    right = l ^ p[1];
}

int CBlowfish::Encrypt(const uint8_t* input, uint8_t* output, int n) const {
    return ProcessBlocks(input, output, n, &CBlowfish::EncryptBlock);
}

void CBlowfish::Decrypt(const uint8_t* input, uint8_t* output, int n) const {
    ProcessBlocks(input, output, n, &CBlowfish::DecryptBlock);
}

int CBlowfish::ProcessBlocks(const uint8_t* input, uint8_t* output, int n,
                             BlockFunction block) const {
    const int m = PaddedLength(n);
    if (m == 0) {
        return 0;
    }
    if (!m_keyed) {
        std::memset(output, 0, size_t(m));
        return 0;
    }
    // Only n bytes are read: a payload cut short on the wire must not make us read past
    // it, so its last block is completed with zeros.
    if (input != output) {
        std::memmove(output, input, size_t(n));
    }
    std::memset(output + n, 0, size_t(m - n));
    for (int offset = 0; offset < m; offset += 8) {
        uint32_t left = LoadLittleEndian(output + offset);
        uint32_t right = LoadLittleEndian(output + offset + 4);
        (this->*block)(left, right);
        StoreLittleEndian(left, output + offset);
        StoreLittleEndian(right, output + offset + 4);
    }
    return m;
}

std::shared_ptr<const CBlowfish> CBlowfish::ForKey(const uint8_t* key, int length) {
    const std::string bytes = key != nullptr && length > 0
                                  ? std::string(reinterpret_cast<const char*>(key), size_t(length))
                                  : std::string();
    static std::mutex mutex;
    static std::string latestKey;
    static std::shared_ptr<const CBlowfish> latest;
    std::lock_guard lock(mutex);
    if (!latest || bytes != latestKey) {
        auto cipher = std::make_shared<CBlowfish>();
        cipher->SetKey(key, length);
        latest = std::move(cipher);
        latestKey = bytes;
    }
    return latest;
}
