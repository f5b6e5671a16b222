// SPDX-License-Identifier: GPL-3.0-or-later
// CCallParty: who may speak for the call, pending or connected.
#include "CCallParty.h"

#include "COutgoingCall.h"
#include "CPacketGuard.h"
#include "NetAddress.h"

void CCallParty::Set(const std::string& address, int32_t port) {
    m_address = address;
    m_port = port;
}

CCallParty::Sender CCallParty::Of(const std::string& address, int port, Phase phase) const {
    switch (phase) {
    case Phase::Connected:
        return Tavrino::SameAddress(address, m_guard.PeerAddress()) && port == m_guard.PeerPort()
                   ? Sender::Peer
                   : Sender::Stranger;
    case Phase::Called:
        return port == m_port && Tavrino::SameAddress(address, m_address) ? Sender::AcceptedCaller
                                                                          : Sender::Stranger;
    case Phase::Calling:
        return port == m_port && m_outgoing.IsAddressOf(address) ? Sender::CalledStation
                                                                 : Sender::Stranger;
    case Phase::Idle:
        break;
    }
    return Sender::Stranger;
}
