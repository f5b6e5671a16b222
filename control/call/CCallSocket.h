// CCallSocket: the control's UDP socket, handing every received datagram to the call engine.
#pragma once

#include "CUdpSocket.h"

class CCallEngine;

// Threads: as CUdpSocket; OnDatagram runs on the control's thread, where the engine lives.
class CCallSocket : public CUdpSocket {
    Q_OBJECT
public:
    explicit CCallSocket(CCallEngine* engine, QObject* parent = nullptr);

    // The receive path without a network: benchmarks and tests feed datagrams through
    // exactly the code a read notification runs.
    using CUdpSocket::InjectDatagram;

protected:
    void OnDatagram(uint8_t type, const uint8_t* payload, int length, const std::string& address,
                    int port) override;

private:
    CCallEngine* m_engine; // owns this socket
};
