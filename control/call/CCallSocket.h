// SPDX-License-Identifier: GPL-3.0-or-later
// CCallSocket: the control's UDP socket, handing every received datagram to its owner.
#pragma once

#include "CUdpSocket.h"
#include "ICallSocket.h"

#include <cstdint>
#include <string>

// Threads: as CUdpSocket; the handler runs on the control's thread, where the engine lives.
class CCallSocket : public CUdpSocket, public ICallSocket {
    Q_OBJECT
public:
    explicit CCallSocket(QObject* parent = nullptr);

    bool Open(int port, const std::string& bindAddress, DatagramHandler onDatagram) override;
    void Close() override { CUdpSocket::Close(); }
    void Send(uint8_t type, const uint8_t* payload, int length, const std::string& address,
              int port) override {
        CUdpSocket::Send(type, payload, length, address, port);
    }
    int LocalPort() const override { return CUdpSocket::LocalPort(); }
    std::vector<std::string> AddressesOf(const std::string& address) override {
        return CUdpSocket::AddressesOf(address);
    }
    Traffic Counters() const override;
    void ClosePeriod() override { CUdpSocket::ClosePeriod(); }

    // The receive path without a network: benchmarks and tests feed datagrams through
    // exactly the code a read notification runs.
    using CUdpSocket::InjectDatagram;

protected:
    void OnDatagram(uint8_t type, const uint8_t* payload, int length, const std::string& address,
                    int port) override;

private:
    DatagramHandler m_onDatagram;
};
