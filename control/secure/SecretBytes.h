// SPDX-License-Identifier: GPL-3.0-or-later
// SecretBytes: a fixed-size buffer for key material, wiped when it goes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

void WipeSecret(void* data, std::size_t size); // sodium_memzero: never optimised away

// Not copyable, so a key is never duplicated by accident; a move wipes the source.
template <std::size_t N> class SecretBytes {
public:
    SecretBytes() = default;
    ~SecretBytes() { Wipe(); }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    SecretBytes(SecretBytes&& other) noexcept : m_bytes(other.m_bytes) { other.Wipe(); }
    SecretBytes& operator=(SecretBytes&& other) noexcept {
        if (this != &other) {
            m_bytes = other.m_bytes;
            other.Wipe();
        }
        return *this;
    }

    uint8_t* data() { return m_bytes.data(); }
    const uint8_t* data() const { return m_bytes.data(); }
    static constexpr std::size_t size() { return N; }
    void Wipe() { WipeSecret(m_bytes.data(), N); }

private:
    std::array<uint8_t, N> m_bytes{};
};
