// SPDX-License-Identifier: GPL-3.0-or-later
// CUdpSocket: non-blocking POSIX UDP socket with a send queue and traffic counters.
#include "CUdpSocket.h"

#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using Tavrino::AddressText;
using Tavrino::FromSocketAddress;
using Tavrino::IpAddress;
using Tavrino::ParseIpAddress;
using Tavrino::ToSocketAddress;

CUdpSocket::CUdpSocket(QObject* parent) : QObject(parent) {}

CUdpSocket::~CUdpSocket() {
    Close();
}

bool CUdpSocket::Open(int port) {
    Close();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_writable = true;
        m_flushing = false;
        m_outboundPeriod = m_outboundRate = m_outboundTotal = 0;
        m_queue.clear();
    }
    m_inboundPeriod = m_inboundRate = m_inboundTotal = 0;

    if (port < 0 || port > 65535) {
        return false;
    }
    std::optional<IpAddress> bindAddress;
    if (!m_bindAddress.empty()) {
        bindAddress = ParseIpAddress(m_bindAddress);
        if (!bindAddress) {
            return false;
        }
    }
    int fd = -1;
    int reach = REACH_V4 | REACH_V6;
    bool dualStack = false;
    if (bindAddress) {
        const bool v4 = bindAddress->family == IpAddress::V4;
        fd = OpenDescriptor(v4 ? AF_INET : AF_INET6, &*bindAddress, port);
        reach = v4 ? REACH_V4 : REACH_V6;
    } else {
        fd = OpenDescriptor(AF_INET6, nullptr, port);
        dualStack = true;
        // A kernel without IPv6 (ipv6.disable=1) has no AF_INET6 sockets, or none that
        // binds: the IPv4 socket then serves as it always did. A port in use is no
        // such case and fails as it is.
        if (fd < 0 && (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT ||
                       errno == EADDRNOTAVAIL || errno == ENOPROTOOPT)) {
            fd = OpenDescriptor(AF_INET, nullptr, port);
            reach = REACH_V4;
            dualStack = false;
        }
    }
    if (fd < 0) {
        return false;
    }
    m_reach = reach;
    m_dualStack = dualStack;

    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fd = fd;
        m_open = true;
    }
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &CUdpSocket::OnReadReady);
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &CUdpSocket::OnWriteReady);
    return true;
}

int CUdpSocket::NewDescriptor(int family) {
    return ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

int CUdpSocket::OpenDescriptor(int family, const IpAddress* bindAddress, int port) {
    const int fd = NewDescriptor(family);
    if (fd < 0) {
        return -1;
    }
    IpAddress any;
    any.family = family == AF_INET6 ? IpAddress::V6 : IpAddress::V4;
    sockaddr_storage local{};
    socklen_t localLength = 0;
    ToSocketAddress(bindAddress != nullptr ? *bindAddress : any, port, false, &local, &localLength);
    // Both families on one socket whatever net.ipv6.bindv6only says; an IPv6 bind
    // address takes IPv6 alone.
    const int v6Only = bindAddress != nullptr ? 1 : 0;
    if (family == AF_INET6 &&
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6Only, sizeof v6Only) != 0) {
        ::close(fd);
        return -1;
    }
    // Bursts are absorbed by the kernel rather than lost. Linux may cap the size
    // silently (net.core.rmem_max / wmem_max); only a refused call is a failure, and it
    // leaves nothing open.
    if (!SetBufferSizes(fd)) {
        ::close(fd);
        errno = ENOBUFS;
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), localLength) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool CUdpSocket::SetBufferSizes(int fd) {
    const int size = kBufferBytes;
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size) == 0 &&
           ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size) == 0;
}

void CUdpSocket::Close() {
    int fd = -1;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_open && m_fd < 0) {
            return;
        }
        // A flush on the capture thread may be sending outside the lock. Let it finish
        // what it was handed: a hang-up queued behind its voice frame by a Send that
        // returned at once must still go out. It ends when the queue is empty or the
        // socket would block; only then is the descriptor closed, not under its feet.
        m_flushDone.wait(lock, [this] { return !m_flushing; });
        m_open = false;
        m_queue.clear();
        fd = m_fd;
        m_fd = -1;
    }
    m_reach = REACH_V4 | REACH_V6;
    m_dualStack = false;
    for (QSocketNotifier** notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier != nullptr) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}

bool CUdpSocket::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

void CUdpSocket::Send(uint8_t type, const uint8_t* payload, int length, const std::string& address,
                      int port) {
    if (length < 0 || (length > 0 && payload == nullptr)) {
        return;
    }
    auto datagram = std::make_unique<QueuedDatagram>();
    datagram->bytes.resize(static_cast<size_t>(length) + 1);
    datagram->bytes[0] = type;
    if (length > 0) {
        std::memcpy(datagram->bytes.data() + 1, payload, static_cast<size_t>(length));
    }
    datagram->address = address;
    datagram->port = port;

    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_open) {
        return;
    }
    if (!m_writable && m_queue.size() >= kMaxQueuedDatagrams) {
        // Stalled: the oldest goes, so a hang-up behind stale voice still leaves. (No
        // flush runs while not writable; one that runs drains the queue itself.)
        m_queue.pop_front();
    }
    m_queue.push_back(std::move(datagram));
    if (m_flushing) {
        return; // the running flush, on the other thread, sends it
    }
    if (!m_writable) {
        return; // waits for the flush of a Send after the write notification
    }
    m_flushing = true;
    Flush(lock);
    m_flushing = false;
    const bool blocked = !m_writable;
    lock.unlock();
    m_flushDone.notify_all();
    if (blocked) {
        ArmWriteNotifier();
    }
}

// Called with the lock held and m_flushing set; returns with the lock held. Only the
// flushing thread removes datagrams (Close waits for it), so the front stays valid while
// the lock is released around the send.
void CUdpSocket::Flush(std::unique_lock<std::mutex>& lock) {
    const int fd = m_fd;
    while (m_open && !m_queue.empty()) {
        const QueuedDatagram& datagram = *m_queue.front();
        const auto size = static_cast<uint32_t>(datagram.bytes.size());
        // Each attempt counts, a retried datagram again.
        m_outboundTotal += size;
        m_outboundPeriod += size;
        lock.unlock();
        int error = EDESTADDRREQ;
        sockaddr_storage to{};
        socklen_t toLength = 0;
        if (Resolve(datagram.address, datagram.port, &to, &toLength)) {
            error = SendToSystem(fd, datagram.bytes.data(), static_cast<int>(size),
                                 reinterpret_cast<const sockaddr*>(&to), toLength);
        }
        lock.lock();
        if (error == EAGAIN || error == EWOULDBLOCK) {
            m_writable = false;
            return;
        }
        // Sent, or failed for good: either way it leaves the queue.
        m_queue.pop_front();
    }
}

int CUdpSocket::SendToSystem(int fd, const uint8_t* data, int length, const sockaddr* to,
                             socklen_t toLength) {
    const ssize_t sent =
        ::sendto(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL, to, toLength);
    return sent < 0 ? errno : 0;
}

bool CUdpSocket::Resolve(const std::string& address, int port, sockaddr_storage* to,
                         socklen_t* toLength) const {
    // The engine may send to the empty peer address with port -1 (a resend or a
    // keep-alive after a reset, a text with no peer). Nothing relies on such a datagram
    // going anywhere, so it is dropped like an unresolvable name, without a send.
    if (address.empty() || port < 0 || port > 65535) {
        return false;
    }
    const std::vector<IpAddress> found = Usable(address);
    return !found.empty() && ToSocketAddress(found.front(), port, m_dualStack, to, toLength);
}

std::vector<IpAddress> CUdpSocket::Usable(const std::string& address) const {
    std::vector<IpAddress> found;
    if (const std::optional<IpAddress> literal = ParseIpAddress(address)) {
        found.push_back(*literal);
    } else {
        found = LookUpName(address);
    }
    const int reach = m_reach;
    std::erase_if(found, [reach](const IpAddress& a) {
        return (reach & (a.family == IpAddress::V4 ? REACH_V4 : REACH_V6)) == 0;
    });
    return found;
}

std::vector<IpAddress> CUdpSocket::LookUpName(const std::string& name) {
    // getaddrinfo has no time limit of its own, so it runs on a thread of its own and the
    // caller waits at most kLookupTimeoutMs; a lookup that overruns finishes unobserved.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::vector<IpAddress> addresses;
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC; // both, sorted by the system's address selection
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        std::vector<IpAddress> addresses;
        if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0) {
            for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
                const std::optional<IpAddress> address =
                    FromSocketAddress(entry->ai_addr, entry->ai_addrlen);
                if (address &&
                    std::find(addresses.begin(), addresses.end(), *address) == addresses.end()) {
                    addresses.push_back(*address);
                }
            }
            ::freeaddrinfo(found);
        }
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->addresses = std::move(addresses);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, std::chrono::milliseconds(kLookupTimeoutMs),
                               [&] { return lookup->finished; })) {
        return {};
    }
    return lookup->addresses;
}

std::vector<std::string> CUdpSocket::AddressesOf(const std::string& address) const {
    std::vector<std::string> texts;
    if (address.empty()) {
        return texts;
    }
    for (const IpAddress& found : Usable(address)) {
        texts.push_back(AddressText(found));
    }
    return texts;
}

void CUdpSocket::ArmWriteNotifier() {
    if (QThread::currentThread() == thread()) {
        ArmWriteNotifierHere();
    } else {
        // The notifier belongs to the owner's thread; a posted call is dropped with
        // this object if it goes first.
        QMetaObject::invokeMethod(this, &CUdpSocket::ArmWriteNotifierHere, Qt::QueuedConnection);
    }
}

void CUdpSocket::ArmWriteNotifierHere() {
    bool wanted = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wanted = m_open && !m_writable;
    }
    if (wanted && m_writeNotifier != nullptr) {
        m_writeNotifier->setEnabled(true);
    }
}

void CUdpSocket::OnWriteReady() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_writable = true;
    }
    // No flush here: the queue leaves with the next Send (within 120 ms in a call), so only
    // Send ever flushes and Close's wait for a running flush covers every send.
    // Level-triggered: left enabled it would fire again at once, for ever.
    if (m_writeNotifier != nullptr) {
        m_writeNotifier->setEnabled(false);
    }
}

void CUdpSocket::OnReadReady() {
    const int fd = m_fd;
    if (fd < 0) {
        return;
    }
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) != 0 || waiting <= 0) {
        waiting = kDefaultReceiveBytes;
    }
    // Zero-filled with spare bytes, so a text field read past the datagram meets a zero.
    std::vector<uint8_t> buffer(static_cast<size_t>(waiting) + kSpareBytes, 0);
    sockaddr_storage from{};
    socklen_t fromLength = sizeof from;
    const ssize_t received = ::recvfrom(fd, buffer.data(), static_cast<size_t>(waiting), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) {
        return;
    }
    int fromPort = 0;
    const std::optional<IpAddress> sender =
        FromSocketAddress(reinterpret_cast<const sockaddr*>(&from), fromLength, &fromPort);
    if (!sender) {
        return;
    }
    Dispatch(buffer.data(), static_cast<int>(received), AddressText(*sender), fromPort);
}

void CUdpSocket::InjectDatagram(const uint8_t* data, int length, const std::string& address,
                                int port) {
    if (data == nullptr || length <= 0) {
        return;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(length) + kSpareBytes, 0);
    std::memcpy(buffer.data(), data, static_cast<size_t>(length));
    Dispatch(buffer.data(), length, address, port);
}

void CUdpSocket::Dispatch(const uint8_t* buffer, int length, const std::string& address, int port) {
    m_inboundTotal += static_cast<uint32_t>(length);
    m_inboundPeriod += static_cast<uint32_t>(length);
    OnDatagram(buffer[0], buffer + 1, length - 1, address, port);
}

void CUdpSocket::OnDatagram(uint8_t, const uint8_t*, int, const std::string&, int) {}

void CUdpSocket::ClosePeriod() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_outboundRate = m_outboundPeriod;
        m_outboundPeriod = 0;
    }
    m_inboundRate = m_inboundPeriod;
    m_inboundPeriod = 0;
}

int32_t CUdpSocket::OutboundTotal() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int32_t>(m_outboundTotal);
}

int32_t CUdpSocket::OutboundRate() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int32_t>(m_outboundRate);
}

int32_t CUdpSocket::InboundTotal() const {
    return static_cast<int32_t>(m_inboundTotal);
}

int32_t CUdpSocket::InboundRate() const {
    return static_cast<int32_t>(m_inboundRate);
}

int CUdpSocket::LocalPort() const {
    if (m_fd < 0) {
        return -1;
    }
    sockaddr_storage local{};
    socklen_t size = sizeof local;
    int port = -1;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
        !FromSocketAddress(reinterpret_cast<const sockaddr*>(&local), size, &port)) {
        return -1;
    }
    return port;
}

int CUdpSocket::QueuedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_queue.size());
}

bool CUdpSocket::IsWritable() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writable;
}
