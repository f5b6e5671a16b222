// SPDX-License-Identifier: GPL-3.0-or-later
// CCallSocket: the control's UDP socket, handing every received datagram to its owner.
#include "CCallSocket.h"

#include <utility>

CCallSocket::CCallSocket(QObject* parent) : CUdpSocket(parent) {}

bool CCallSocket::Open(int port, const std::string& bindAddress, DatagramHandler onDatagram) {
    m_onDatagram = std::move(onDatagram);
    SetBindAddress(bindAddress);
    return CUdpSocket::Open(port); // refuses a port outside 0..65535
}

ICallSocket::Traffic CCallSocket::Counters() const {
    return {OutboundTotal(), InboundTotal(), OutboundRate(), InboundRate()};
}

void CCallSocket::OnDatagram(uint8_t type, const uint8_t* payload, int length,
                             const std::string& address, int port) {
    if (m_onDatagram)
        m_onDatagram(address, port, type, payload, length);
}
