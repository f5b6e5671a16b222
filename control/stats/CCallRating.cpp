// SPDX-License-Identifier: GPL-3.0-or-later
// CCallRating: a listener's 1-to-5 score for one direction of a call, E-model shaped.
#include "CCallRating.h"

#include <algorithm>

CCallRating::CCallRating(const Path& path) {
    // Negative inputs (a clock step, a report from a confused peer) count as none.
    const auto none = [](double v) { return std::max(v, 0.0); };
    m_mouthToEarMs = none(path.networkOneWayMs) +
                     std::max(none(path.bufferMs), 2 * none(path.jitterMs)) +
                     std::max(path.frameMs, 0) + kDeviceAllowanceMs;
    const double d = m_mouthToEarMs;
    const double id = 0.024 * d + (d > 177.3 ? 0.11 * (d - 177.3) : 0.0);
    const double ppl = std::min(none(path.lossPct) + none(path.latePct), 100.0);
    const double ieEff = 95 * ppl / (ppl + kBurstRobustness);
    m_r = 93.2 - id - ieEff;
    if (m_r <= 0)
        m_score = 1;
    else if (m_r >= 100)
        m_score = 4.5;
    else
        m_score = 1 + 0.035 * m_r + 7e-6 * m_r * (m_r - 60) * (100 - m_r);
}
