// SPDX-License-Identifier: GPL-3.0-or-later
// CCallParty: who may speak for the call, pending or connected.
#pragma once

#include <cstdint>
#include <string>

class COutgoingCall;
class CPacketGuard;

// A call belongs to its two parties. Apart from call requests, which anyone may send,
// a datagram counts only from the other party: the peer while connected; while
// pending, the station called or the caller accepted. A caller takes an acceptance or
// reject by its own token from any address, so a host that answers from another of
// its addresses still connects; the token, drawn at random, is what nobody else has.
// Its busy, not-available or hang-up from that other address carry nothing of the
// kind and are ignored: such a caller then ends by its own time-out, a slower answer
// but never a stranger's. Addresses are compared, not their spellings: an IPv6 address
// has several.
//
// Threads: the engine's, like the guard and the outgoing call it reads.
class CCallParty {
public:
    enum class Sender { Stranger, Peer, CalledStation, AcceptedCaller };
    enum class Phase { Idle, Calling, Called, Connected };

    CCallParty(const CPacketGuard& guard, const COutgoingCall& outgoing)
        : m_guard(guard), m_outgoing(outgoing) {}

    // The other party while pending: the station called (its first address) or the
    // caller accepted.
    void Set(const std::string& address, int32_t port);
    void Clear() { Set({}, -1); }
    const std::string& Address() const { return m_address; }

    // Who a datagram from `address`:`port` is in the call's `phase`.
    Sender Of(const std::string& address, int port, Phase phase) const;

private:
    const CPacketGuard& m_guard;      // the peer, once connected
    const COutgoingCall& m_outgoing;  // every address of the station called
    std::string m_address;
    int32_t m_port = -1;
};
