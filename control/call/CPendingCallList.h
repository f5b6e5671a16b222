// SPDX-License-Identifier: GPL-3.0-or-later
// CPendingCallList: incoming call requests that have been announced but not yet answered.
#pragma once

#include "CCallToken.h"

#include <cstddef>
#include <list>
#include <string>

// An entry is identified by the caller's address (compared as an address: the host may
// answer with another spelling of an IPv6 address than the datagram showed) and port.
// Entries are unique: add() is only used for a caller
// that is not listed yet. Ageing uses a stale flag: an entry survives one age() after
// its last refresh and is dropped by the next, so an unrepeated request is forgotten
// 30 to 60 s after its last copy with a 30 s ageing period.
//
// The list is bounded: a flood of requests from many source addresses or ports would
// otherwise grow it by one entry per spoofed sender for up to a minute. When the list
// is full the least recently heard caller is dropped; refresh() moves a caller to the
// back, so a real caller that keeps repeating its request every 3 s survives any
// flood slower than kMaxEntries new senders per repetition, and is re-filed (and
// announced again) at its next copy otherwise.
//
// Stated requests only: encrypted attempts are kept by CSecureAttempts, by address,
// port and sid.
//
// Threads: used only on the control's thread.
class CPendingCallList {
public:
    static constexpr std::size_t kMaxEntries = 256;

    bool Contains(const std::string& address, int port) const;
    void Add(const std::string& address, int port, const CCallToken& token);
    void Refresh(const std::string& address, int port, const CCallToken& token);
    bool TokenOf(const std::string& address, int port, CCallToken* token) const;
    void Remove(const std::string& address, int port);
    void Age();
    void Clear();

    std::size_t Size() const { return m_entries.size(); }

private:
    struct PendingCall {
        bool stale = false;
        CCallToken token;
        std::string address;
        int port = 0;
    };
    using List = std::list<PendingCall>;

    List::iterator Find(const std::string& address, int port);
    List::const_iterator Find(const std::string& address, int port) const;

    List m_entries;
};
