// SPDX-License-Identifier: GPL-3.0-or-later
// CPendingCallList: incoming call requests that have been announced but not yet answered.
#include "CPendingCallList.h"

#include "NetAddress.h"

CPendingCallList::List::iterator CPendingCallList::Find(const std::string& address, int port) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (it->port == port && Tavrino::SameAddress(it->address, address))
            return it;
    return m_entries.end();
}

CPendingCallList::List::const_iterator CPendingCallList::Find(const std::string& address,
                                                              int port) const {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (it->port == port && Tavrino::SameAddress(it->address, address))
            return it;
    return m_entries.end();
}

bool CPendingCallList::Contains(const std::string& address, int port) const {
    return Find(address, port) != m_entries.end();
}

void CPendingCallList::Add(const std::string& address, int port, const CCallToken& token) {
    if (m_entries.size() >= kMaxEntries)
        m_entries.pop_front();
    m_entries.push_back(PendingCall{false, token, address, port});
}

void CPendingCallList::Refresh(const std::string& address, int port, const CCallToken& token) {
    const auto it = Find(address, port);
    if (it == m_entries.end())
        return;
    it->token = token;
    it->stale = false;
    // Most recently heard last: the flood bound drops from the front.
    m_entries.splice(m_entries.end(), m_entries, it);
}

bool CPendingCallList::TokenOf(const std::string& address, int port, CCallToken* token) const {
    const auto it = Find(address, port);
    if (it == m_entries.end())
        return false;
    if (token)
        *token = it->token;
    return true;
}

void CPendingCallList::Remove(const std::string& address, int port) {
    const auto it = Find(address, port);
    if (it != m_entries.end())
        m_entries.erase(it);
}

void CPendingCallList::Age() {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->stale) {
            it = m_entries.erase(it);
        } else {
            it->stale = true;
            ++it;
        }
    }
}

void CPendingCallList::Clear() {
    m_entries.clear();
}
