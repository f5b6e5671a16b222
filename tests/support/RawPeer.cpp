// SPDX-License-Identifier: GPL-3.0-or-later
// RawPeer: a plain POSIX UDP peer on a loopback address, for every test that plays a station by
// hand.
#include "RawPeer.h"

#include "NetAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawPeer::RawPeer(bool ipv6) : RawPeer(ipv6 ? "::1" : "127.0.0.1") {}

RawPeer::RawPeer(const char* address, int port) {
    const auto ip = Tavrino::ParseIpAddress(address);
    m_fd = ::socket(ip->family == Tavrino::IpAddress::V6 ? AF_INET6 : AF_INET,
                    SOCK_DGRAM | SOCK_CLOEXEC, 0);
    Tavrino::ToSocketAddress(*ip, port, false, &m_local, &m_length);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&m_local), m_length) != 0)
        return;
    const int size = 4 << 20;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&m_local), &m_length);
    m_port = ntohs(reinterpret_cast<sockaddr_in*>(&m_local)->sin_port); // where both keep it
}

RawPeer::~RawPeer() {
    ::close(m_fd);
}

bool RawPeer::SendTo(int port, const std::vector<uint8_t>& datagram) const {
    sockaddr_storage to = m_local; // the peer's own address, another port
    reinterpret_cast<sockaddr_in*>(&to)->sin_port = htons(static_cast<uint16_t>(port));
    return ::sendto(m_fd, datagram.data(), datagram.size(), 0,
                    reinterpret_cast<const sockaddr*>(&to),
                    m_length) == static_cast<ssize_t>(datagram.size());
}

bool RawPeer::SendTo(const std::string& loopbackAddress, int port,
                     const std::vector<uint8_t>& datagram) const {
    const auto address = Tavrino::ParseIpAddress(loopbackAddress);
    if (!address)
        return false;
    const bool loopback = address->family == Tavrino::IpAddress::V4
                              ? address->bytes[0] == 127
                              : *address == *Tavrino::ParseIpAddress("::1");
    sockaddr_storage to{};
    socklen_t length = 0;
    if (!loopback || !Tavrino::ToSocketAddress(*address, port, false, &to, &length) ||
        to.ss_family != m_local.ss_family)
        return false;
    return ::sendto(m_fd, datagram.data(), datagram.size(), 0,
                    reinterpret_cast<const sockaddr*>(&to),
                    length) == static_cast<ssize_t>(datagram.size());
}

std::optional<std::vector<uint8_t>> RawPeer::Receive(int timeoutMs, Sender* from) const {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) {
        return std::nullopt;
    }
    std::vector<uint8_t> buffer(70000);
    sockaddr_storage sender{};
    socklen_t length = sizeof sender;
    const ssize_t n = ::recvfrom(m_fd, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&sender), &length);
    if (n < 0) {
        return std::nullopt;
    }
    if (from) {
        const auto ip = Tavrino::FromSocketAddress(reinterpret_cast<const sockaddr*>(&sender),
                                                   length, &from->port);
        from->address = ip ? Tavrino::AddressText(*ip) : std::string();
    }
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}
