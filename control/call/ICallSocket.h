// SPDX-License-Identifier: GPL-3.0-or-later
// ICallSocket: the call engine's UDP socket as the engine uses it.
#pragma once

#include "IPacketTransport.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Threads: the control's thread, but Send (any thread).
class ICallSocket : public IPacketTransport {
public:
    // One received datagram, its type byte split off; on the control's thread.
    using DatagramHandler = std::function<void(const std::string& address, int port,
                                               uint8_t type, const uint8_t* payload,
                                               int length)>;
    struct Traffic {
        int32_t outboundTotal = 0, inboundTotal = 0, outboundRate = 0, inboundRate = 0;
    };

    // Binds `port` (0..65535; 0: the system's choice) on `bindAddress` (empty: all).
    virtual bool Open(int port, const std::string& bindAddress, DatagramHandler onDatagram) = 0;
    virtual void Close() = 0; // safe twice
    virtual int LocalPort() const = 0;
    // The addresses a call to `address` goes to, in order (see CUdpSocket::AddressesOf).
    virtual std::vector<std::string> AddressesOf(const std::string& address) = 0;
    virtual Traffic Counters() const = 0;
    virtual void ClosePeriod() = 0; // once a second: the rates
};
