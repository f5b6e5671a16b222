// SPDX-License-Identifier: GPL-3.0-or-later
// CCallToken: taking, writing and reading the 8-byte call token.
#include "CCallToken.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

void PutLe32(uint8_t* out, uint32_t v) {
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v >> 16);
    out[3] = static_cast<uint8_t>(v >> 24);
}

// Byte i of a little-endian word starting at `offset`; past `available` it reads as 0.
uint32_t GetLe32(const uint8_t* p, int available, int offset) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const int at = offset + i;
        if (p != nullptr && at < available) {
            v |= static_cast<uint32_t>(p[at]) << (8 * i);
        }
    }
    return v;
}

} // namespace

bool CCallToken::Draw(CCallToken* out, RandomSource source) {
    if (source == nullptr)
        source = &::getrandom;
    // Zero would mean "no token". A source that gives it four times running is broken.
    for (int draw = 0; draw < 4; ++draw) {
        uint8_t bytes[4];
        size_t got = 0;
        while (got < sizeof bytes) {
            const ssize_t n = source(bytes + got, sizeof bytes - got, 0);
            if (n > 0)
                got += static_cast<size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue; // a signal while the pool was still filling at boot
            else
                return false;
        }
        uint32_t count = 0;
        std::memcpy(&count, bytes, sizeof count);
        if (count != 0) {
            out->seconds = static_cast<uint32_t>(std::time(nullptr));
            out->count = count;
            return true;
        }
    }
    return false;
}

bool CCallToken::IsZero() const {
    return seconds == 0 && count == 0;
}

void CCallToken::WriteTo(uint8_t out[8]) const {
    PutLe32(out, seconds);
    PutLe32(out + 4, count);
}

CCallToken CCallToken::ReadFrom(const uint8_t* p, int available) {
    CCallToken token;
    token.seconds = GetLe32(p, available, 0);
    token.count = GetLe32(p, available, 4);
    return token;
}
