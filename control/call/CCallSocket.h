// SPDX-License-Identifier: GPL-3.0-or-later
// CCallSocket: the control's UDP socket, handing every received datagram to its owner.
#pragma once

#include "CUdpSocket.h"

#include <cstdint>
#include <functional>
#include <string>

// Threads: as CUdpSocket; the handler runs on the control's thread, where the engine lives.
class CCallSocket : public CUdpSocket {
    Q_OBJECT
public:
    // One received datagram, its type byte split off.
    using DatagramHandler = std::function<void(const std::string& address, int port,
                                               uint8_t type, const uint8_t* payload,
                                               int length)>;

    explicit CCallSocket(DatagramHandler onDatagram, QObject* parent = nullptr);

    // The receive path without a network: benchmarks and tests feed datagrams through
    // exactly the code a read notification runs.
    using CUdpSocket::InjectDatagram;

protected:
    void OnDatagram(uint8_t type, const uint8_t* payload, int length, const std::string& address,
                    int port) override;

private:
    DatagramHandler m_onDatagram;
};
