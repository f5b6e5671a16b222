// CCallSocket: the control's UDP socket, handing every received datagram to the call engine.
#include "CCallSocket.h"

#include "CCallEngine.h"

CCallSocket::CCallSocket(CCallEngine* engine, QObject* parent)
    : CUdpSocket(parent), m_engine(engine) {}

void CCallSocket::OnDatagram(uint8_t type, const uint8_t* payload, int length,
                             const std::string& address, int port) {
    if (m_engine)
        m_engine->OnPacket(address, port, type, payload, length);
}
