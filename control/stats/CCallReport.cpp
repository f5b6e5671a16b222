// SPDX-License-Identifier: GPL-3.0-or-later
// CCallReport: the call report (inner type 31) that two stations trade every 2 s.
#include "CCallReport.h"

#include <cmath>

namespace {

// Little-endian field writer and reader over the fixed payload.
template <typename T> void Put(uint8_t** p, T value) {
    for (size_t i = 0; i < sizeof(T); ++i)
        *(*p)++ = static_cast<uint8_t>(value >> (8 * i));
}

template <typename T> T Take(const uint8_t** p) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<T>(value | T((*p)[i]) << (8 * i));
    *p += sizeof(T);
    return value;
}

} // namespace

uint16_t CCallReport::Saturate(int64_t value) {
    if (value <= 0)
        return 0;
    return value >= 0xFFFF ? uint16_t{0xFFFF} : static_cast<uint16_t>(value);
}

void CCallReport::SetJitterMs(double ms) {
    // NaN and negatives give 0; the comparison also keeps llround away from overflow.
    const double tenths = ms * 10.0;
    jitter = tenths >= 0xFFFF ? uint16_t{0xFFFF} : tenths > 0 ? Saturate(std::llround(tenths)) : 0;
}

std::array<uint8_t, CCallReport::kBytes> CCallReport::Build() const {
    std::array<uint8_t, kBytes> out{};
    uint8_t* p = out.data();
    Put(&p, tSendMs);
    Put(&p, tEchoMs);
    Put(&p, tHeldMs);
    Put(&p, received);
    Put(&p, highest);
    Put(&p, jitter);
    Put(&p, bufferMs);
    Put(&p, concealed);
    Put(&p, recovered);
    Put(&p, late);
    return out;
}

bool CCallReport::Parse(const uint8_t* payload, int length, CCallReport* out) {
    if (payload == nullptr || length != kBytes)
        return false;
    const uint8_t* p = payload;
    CCallReport r;
    r.tSendMs = Take<uint32_t>(&p);
    r.tEchoMs = Take<uint32_t>(&p);
    r.tHeldMs = Take<uint16_t>(&p);
    r.received = Take<uint32_t>(&p);
    r.highest = Take<uint32_t>(&p);
    r.jitter = Take<uint16_t>(&p);
    r.bufferMs = Take<uint16_t>(&p);
    r.concealed = Take<uint32_t>(&p);
    r.recovered = Take<uint32_t>(&p);
    r.late = Take<uint32_t>(&p);
    *out = r;
    return true;
}
