// SPDX-License-Identifier: GPL-3.0-or-later
// CCallSocket: the control's UDP socket, handing every received datagram to its owner.
#include "CCallSocket.h"

#include <utility>

CCallSocket::CCallSocket(DatagramHandler onDatagram, QObject* parent)
    : CUdpSocket(parent), m_onDatagram(std::move(onDatagram)) {}

void CCallSocket::OnDatagram(uint8_t type, const uint8_t* payload, int length,
                             const std::string& address, int port) {
    if (m_onDatagram)
        m_onDatagram(address, port, type, payload, length);
}
