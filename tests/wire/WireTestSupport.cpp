// Helpers for the wire tests: a plain POSIX UDP peer on 127.0.0.1 or ::1.
#include "WireTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawPeer::RawPeer(bool ipv6) : m_ipv6(ipv6) {
    m_fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_storage local{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&local);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&local);
    if (ipv6) {
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
    } else {
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    socklen_t length = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), length) != 0)
        return;
    const int size = 4 << 20;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
    m_port = ntohs(ipv6 ? v6->sin6_port : v4->sin_port);
}

RawPeer::~RawPeer() {
    ::close(m_fd);
}

bool RawPeer::SendTo(int port, const std::vector<uint8_t>& datagram) const {
    sockaddr_storage to{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&to);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&to);
    if (m_ipv6) {
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
    } else {
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        v4->sin_port = htons(static_cast<uint16_t>(port));
    }
    return ::sendto(m_fd, datagram.data(), datagram.size(), 0,
                    reinterpret_cast<const sockaddr*>(&to),
                    m_ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in)) ==
           static_cast<ssize_t>(datagram.size());
}

std::optional<std::vector<uint8_t>> RawPeer::Receive(int timeoutMs) const {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) {
        return std::nullopt;
    }
    std::vector<uint8_t> buffer(70000);
    const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), 0);
    if (n < 0) {
        return std::nullopt;
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
