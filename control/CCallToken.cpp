// CCallToken: taking, writing and reading the 8-byte call token.
#include "CCallToken.h"

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

CCallToken CCallToken::Now() {
    CCallToken token;
    token.seconds = static_cast<uint32_t>(std::time(nullptr));
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    // The tick count wraps every 49.7 days, like the platform's millisecond counter.
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    token.ticks = static_cast<uint32_t>(ms);
    return token;
}

bool CCallToken::IsZero() const {
    return seconds == 0 && ticks == 0;
}

void CCallToken::WriteTo(uint8_t out[8]) const {
    PutLe32(out, seconds);
    PutLe32(out + 4, ticks);
}

CCallToken CCallToken::ReadFrom(const uint8_t* p, int available) {
    CCallToken token;
    token.seconds = GetLe32(p, available, 0);
    token.ticks = GetLe32(p, available, 4);
    return token;
}
