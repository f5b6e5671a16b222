// SPDX-License-Identifier: GPL-3.0-or-later
// CCallRating: a listener's 1-to-5 score for one direction of a call, E-model shaped.
#pragma once

// ITU-T G.107's E-model, simplified to the two impairments a call of ours can measure,
// with the codec's own impairment left out (the score judges the path, not the codec):
//
//   d      = networkOneWayMs + max(bufferMs, 2 * jitterMs) + frameMs + 30       [ms]
//   Id     = 0.024 * d + 0.11 * (d - 177.3) * (d > 177.3 ? 1 : 0)
//   Ppl    = min(lossPct + latePct, 100)                                      [%]
//   Ie_eff = 95 * Ppl / (Ppl + 15)
//   R      = 93.2 - Id - Ie_eff
//   rating = 1                                              when R <= 0
//            1 + 0.035 * R + 7e-6 * R * (R - 60) * (100 - R)  when 0 < R < 100
//            4.5                                            when R >= 100
//
// Every input below 0 counts as 0. d is the mouth-to-ear delay: the network's one way
// (half the round trip; 0 when that is unknown), the jitter buffer (a buffer holding
// less than twice the jitter has to grow or drop frames, so it is taken as at least
// that), and an allowance for the sending frame (20 ms wideband, 120 ms narrowband) plus
// 30 ms for the encoder's look-ahead and a device period at each end. Late frames are
// lost to the listener, so they count as loss. Bpl = 15 (the 15 in Ie_eff) is our choice
// for codecs that conceal lost frames. The rating is the E-model's MOS itself: 1 to 4.5
// on the 1-to-5 scale, one decimal enough. A clean LAN call with a 40 ms buffer rates
// 4.36, with 5 % loss 3.47, with 300 ms each way on the network 3.12; a narrowband
// call's 120 ms frames alone cost it 0.1 at the same buffer. G.107 itself puts 300 ms
// mouth to ear, all else clean, at 3.7.
//
// Threads: a plain value; whoever holds one owns it.
class CCallRating {
public:
    struct Path {
        double lossPct = 0;         // packets lost on the way
        double latePct = 0;         // frames that came after their playing time
        double jitterMs = 0;        // interarrival jitter
        double bufferMs = 0;        // jitter buffer delay
        double networkOneWayMs = 0; // half the round trip
        int frameMs = 20;           // duration of one sent frame
    };

    explicit CCallRating(const Path& path);

    double MouthToEarMs() const { return m_mouthToEarMs; }
    double RFactor() const { return m_r; }
    double Score() const { return m_score; }

    static constexpr double kDeviceAllowanceMs = 30;
    static constexpr double kBurstRobustness = 15; // Bpl

private:
    double m_mouthToEarMs = 0;
    double m_r = 0;
    double m_score = 0;
};
