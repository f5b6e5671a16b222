// CUdpSocket: non-blocking POSIX UDP socket with a send queue and traffic counters.
#include "CUdpSocket.h"

#include <QSocketNotifier>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    // Lets two stations share one computer, each on its own loopback address.
    const char* bindAddress = std::getenv("TAVRINO_BIND_ADDRESS");
    if (bindAddress != nullptr && *bindAddress != '\0' &&
        inet_pton(AF_INET, bindAddress, &local.sin_addr) != 1) {
        return false;
    }

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    // Bursts are absorbed by the kernel rather than lost. Linux may cap the size
    // silently (net.core.rmem_max / wmem_max); only a refused call is a failure, and it
    // leaves nothing open.
    if (!SetBufferSizes(fd) ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return false;
    }

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
        sockaddr_in to{};
        if (Resolve(datagram.address, datagram.port, &to)) {
            error = SendToSystem(fd, datagram.bytes.data(), static_cast<int>(size), to);
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

int CUdpSocket::SendToSystem(int fd, const uint8_t* data, int length, const sockaddr_in& to) {
    const ssize_t sent = ::sendto(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent < 0 ? errno : 0;
}

bool CUdpSocket::Resolve(const std::string& address, int port, sockaddr_in* to) {
    // The engine may send to the empty peer address with port -1 (a resend or a
    // keep-alive after a reset, a text with no peer). Nothing relies on such a datagram
    // going anywhere, so it is dropped like an unresolvable name, without a send.
    if (address.empty() || port < 0 || port > 65535) {
        return false;
    }
    to->sin_family = AF_INET;
    to->sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &to->sin_addr) == 1) {
        return true;
    }
    return LookUpName(address, &to->sin_addr);
}

bool CUdpSocket::LookUpName(const std::string& name, in_addr* out) {
    // getaddrinfo has no time limit of its own, so it runs on a thread of its own and the
    // caller waits at most kLookupTimeoutMs; a lookup that overruns finishes unobserved.
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool found = false;
        in_addr address{};
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const bool ok = ::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0 && found;
        std::lock_guard<std::mutex> lock(lookup->mutex);
        if (ok) {
            lookup->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
            ::freeaddrinfo(found);
        }
        lookup->found = ok;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, std::chrono::milliseconds(kLookupTimeoutMs),
                               [&] { return lookup->finished; }) ||
        !lookup->found) {
        return false;
    }
    *out = lookup->address;
    return true;
}

std::string CUdpSocket::DottedAddress(const std::string& address) {
    sockaddr_in resolved{};
    char text[INET_ADDRSTRLEN] = {};
    if (!Resolve(address, 0, &resolved) ||
        inet_ntop(AF_INET, &resolved.sin_addr, text, sizeof text) == nullptr)
        return {};
    return text;
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
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t received = ::recvfrom(fd, buffer.data(), static_cast<size_t>(waiting), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) {
        return;
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    Dispatch(buffer.data(), static_cast<int>(received), text, ntohs(from.sin_port));
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
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return -1;
    }
    return ntohs(local.sin_port);
}

int CUdpSocket::QueuedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_queue.size());
}

bool CUdpSocket::IsWritable() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writable;
}
