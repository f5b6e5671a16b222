// SPDX-License-Identifier: GPL-3.0-or-later
// RawPeer: a plain POSIX UDP peer on a loopback address, for every test that plays a station by
// hand.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A blocking UDP socket on 127.0.0.1 (or ::1, or another loopback address) that plays the
// other station, so that what the control puts on the wire is seen byte for byte and not
// through the code under test.
class RawPeer {
public:
    explicit RawPeer(bool ipv6 = false);
    // Bound to `address` and `port` (0: one the system picks).
    explicit RawPeer(const char* address, int port = 0);
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    int Port() const { return m_port; } // -1 when the address cannot be bound
    // To `port` on the peer's own address, or on `address`.
    bool SendTo(int port, const std::vector<uint8_t>& datagram) const;
    // To another loopback address of the peer's family (127.0.0.2, say); false for any
    // address off the loopback, which a test never sends to.
    bool SendTo(const std::string& loopbackAddress, int port,
                const std::vector<uint8_t>& datagram) const;

    struct Sender {
        std::string address;
        int port = 0;
    };
    // The next datagram, or nothing when none arrives within timeoutMs (0: only one that
    // is there already); `from` gets who sent it.
    std::optional<std::vector<uint8_t>> Receive(int timeoutMs = 3000, Sender* from = nullptr) const;

private:
    int m_fd = -1;
    int m_port = -1;
    sockaddr_storage m_local{};
    socklen_t m_length = 0;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> values);
