// CCallToken: the 8-byte identity of one call request (calendar seconds, tick count).
#pragma once

#include <cstdint>

class CCallToken {
public:
    uint32_t seconds = 0; // calendar clock, time()
    uint32_t ticks = 0;   // 32-bit millisecond count of CLOCK_MONOTONIC

    static CCallToken Now();
    bool IsZero() const;
    bool operator==(const CCallToken&) const = default;

    // Two little-endian words, seconds first.
    void WriteTo(uint8_t out[8]) const;
    // Reads at most `available` bytes from p; the bytes past `available` read as 0,
    // so a short payload yields a token padded with zeros.
    static CCallToken ReadFrom(const uint8_t* p, int available);

    static constexpr int kBytes = 8;
};
