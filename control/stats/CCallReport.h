// SPDX-License-Identifier: GPL-3.0-or-later
// CCallReport: the call report (inner type 31) that two stations trade every 2 s.
#pragma once

#include <array>
#include <cstdint>

// The payload after the type byte, 34 bytes, little-endian, in this order:
//   t_send 4, t_echo 4, t_held 2, received 4, highest 4, jitter 2 (0.1 ms), buffer 2 (ms),
//   concealed 4, recovered 4, late 4.
// Counts travel as their low 32 bits; the reader unwraps them against the previous report.
//
// Threads: a plain value; whoever holds one owns it.
class CCallReport {
public:
    static constexpr uint8_t kType = 31;
    static constexpr int kBytes = 34;

    uint32_t tSendMs = 0;  // the sender's clock when it sealed this report
    uint32_t tEchoMs = 0;  // t_send of the last report it got from us, 0 before the first
    uint16_t tHeldMs = 0;  // from getting that report to sealing this one
    uint32_t received = 0; // sealed packets the sender opened from us
    uint32_t highest = 0;  // low 32 bits of the highest counter it opened from us
    uint16_t jitter = 0;   // of our voice as it arrived there, in 0.1 ms
    uint16_t bufferMs = 0; // the sender's jitter buffer delay now
    uint32_t concealed = 0;
    uint32_t recovered = 0;
    uint32_t late = 0;

    // The 16-bit fields from wider figures: negative gives 0, too large the field's maximum.
    void SetHeldMs(int64_t ms) { tHeldMs = Saturate(ms); }
    void SetJitterMs(double ms);
    void SetBufferMs(int64_t ms) { bufferMs = Saturate(ms); }
    double JitterMs() const { return jitter / 10.0; }

    std::array<uint8_t, kBytes> Build() const;
    // False, and `out` untouched, unless `length` is exactly kBytes.
    static bool Parse(const uint8_t* payload, int length, CCallReport* out);

private:
    static uint16_t Saturate(int64_t value);
};
