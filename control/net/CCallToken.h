// SPDX-License-Identifier: GPL-3.0-or-later
// CCallToken: the 8-byte identity of one call request (calendar seconds, random count).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

class CCallToken {
public:
    uint32_t seconds = 0; // calendar clock, time()
    uint32_t count = 0;   // drawn at random; never 0 in a token of ours

    // The kernel's random source, as getrandom(2) reads it.
    using RandomSource = ssize_t (*)(void* buffer, size_t length, unsigned int flags);
    // A token for a new call request: the calendar clock and a count from `source`.
    // The count is what makes the token unguessable, and so what keeps a stranger from
    // answering for the station called. False, and `out` untouched, when the source
    // fails: no guessable stand-in is ever taken.
    static bool Draw(CCallToken* out, RandomSource source = nullptr);
    bool IsZero() const;
    bool operator==(const CCallToken&) const = default;

    // Two little-endian words, seconds first.
    void WriteTo(uint8_t out[8]) const;
    // Reads at most `available` bytes from p; the bytes past `available` read as 0,
    // so a short payload yields a token padded with zeros.
    static CCallToken ReadFrom(const uint8_t* p, int available);

    static constexpr int kBytes = 8;
};
