// SPDX-License-Identifier: GPL-3.0-or-later
// CCallCandidates: the addresses a call is placed to, brought in one after another.
#include "CCallCandidates.h"

#include "NetAddress.h"

#include <algorithm>

void CCallCandidates::Reset(std::vector<std::string> addresses) {
    m_all = std::move(addresses);
    m_tried.clear();
    m_next = 0;
    BringInNext();
}

const std::string& CCallCandidates::First() const {
    static const std::string none;
    return m_tried.empty() ? none : m_tried.front();
}

std::string CCallCandidates::BringInNext() {
    if (!HasNext())
        return {};
    m_tried.push_back(m_all[m_next++]);
    return m_tried.back();
}

bool CCallCandidates::Contains(const std::string& address) const {
    return std::any_of(m_tried.begin(), m_tried.end(), [&](const std::string& tried) {
        return Tavrino::SameAddress(tried, address);
    });
}
