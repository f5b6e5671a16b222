// SPDX-License-Identifier: GPL-3.0-or-later
// IPacketTransport: what carries a call's datagrams to an address (the control's UDP socket).
#pragma once

#include <cstdint>
#include <string>

// Threads: Send is safe from any thread (the control's and the capture thread send).
class IPacketTransport {
public:
    virtual ~IPacketTransport() = default;
    // Datagram = type byte + payload.
    virtual void Send(uint8_t type, const uint8_t* payload, int length, const std::string& address,
                      int port) = 0;
};
