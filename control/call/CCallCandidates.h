// SPDX-License-Identifier: GPL-3.0-or-later
// CCallCandidates: the addresses a call is placed to, brought in one after another.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A literal address gives one candidate; a name each address it resolves to, in the
// resolver's order (the system's address selection, RFC 6724, which puts the
// addresses this computer can reach best first). The request goes to the first at
// once; while nobody answers, the next comes in every kNextAddressDelayMs, and every
// address brought in keeps getting the request's repetitions, so a slow first
// address can still answer. The call goes to whichever answers first.
//
// The delay: an answer is one round trip plus the called program's own handling of
// the request, well under a second across the world (300 ms for the longest paths);
// a second lets a slow but working first address win, and a name with three
// addresses has tried them all before the request's first repetition (3 s).
//
// Threads: the control's thread only.
class CCallCandidates {
public:
    static constexpr int kNextAddressDelayMs = 1000;

    void Reset(std::vector<std::string> addresses = {});
    // The first address, empty when there is none.
    const std::string& First() const;
    // The addresses brought in so far.
    const std::vector<std::string>& Tried() const { return m_tried; }
    bool HasNext() const { return m_next < m_all.size(); }
    // Brings in the next address and returns it; empty when there is none.
    std::string BringInNext();
    // Whether `address` is one of those brought in (compared as addresses).
    bool Contains(const std::string& address) const;

private:
    std::vector<std::string> m_all;
    std::vector<std::string> m_tried;
    std::size_t m_next = 0;
};
