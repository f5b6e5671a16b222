// SPDX-License-Identifier: GPL-3.0-or-later
// CUdpSocket: the control's one UDP socket, with its send queue and traffic counters.
#pragma once

#include "NetAddress.h"

#include <QObject>

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QSocketNotifier;

// Threads: the socket, its notifiers, the receive path, the inbound counters and
// ClosePeriod belong to the owner's (control) thread. Send is also called from the
// capture thread: the send queue, the writable/flushing flags, the open flag and the
// outbound counters are guarded by m_mutex. A flush sends outside the lock (so that
// name resolution does not stall the other thread); Close waits on m_flushDone until
// a running flush has finished before it closes the descriptor, so a send never
// reaches a closed or reused descriptor. The object itself must outlive every thread
// that may call Send (the engine stops the capture thread before it drops the socket).
// The notifiers are Qt children; Close retires them with deleteLater because it may be
// called from inside their own activation (a handler of OnDatagram).
//
// Families: without a bind address one AF_INET6 socket with IPV6_V6ONLY off serves
// IPv6 and IPv4 alike (an IPv4 peer shows as its dotted address, never ::ffff:); where
// the kernel has no IPv6 it is the AF_INET socket of old, silently. A bind address
// gives a socket of its own family only.
class CUdpSocket : public QObject {
    Q_OBJECT
public:
    explicit CUdpSocket(QObject* parent = nullptr);
    ~CUdpSocket() override;

    bool Open(int port); // binds the bind address or all addresses; 500000-byte buffers
    // The one address later Opens bind (empty: all); one that does not parse fails Open.
    // Lets two stations share one computer, each on its own address.
    void SetBindAddress(const std::string& address) { m_bindAddress = address; }
    void Close();        // safe twice; discards the queue
    bool IsOpen() const;
    // Thread-safe (control thread and capture thread). Datagram = type byte + payload.
    void Send(uint8_t type, const uint8_t* payload, int length, const std::string& address,
              int port);
    void ClosePeriod(); // rates := period counts; period counts := 0
    int32_t OutboundTotal() const;
    int32_t InboundTotal() const;
    int32_t OutboundRate() const;
    int32_t InboundRate() const;

    int LocalPort() const;   // the bound port, -1 when closed
    int QueuedCount() const; // datagrams waiting in the send queue
    bool IsWritable() const;

    // The families this socket can send to (Reach bits); both while closed, so a
    // lookup made before Open loses nothing.
    enum Reach : int { REACH_V4 = 1, REACH_V6 = 2 };
    int Reachable() const { return m_reach; }

    // Every address `address` stands for that this socket can reach, in the text a
    // received datagram shows: a literal gives itself (brackets and spelling dropped),
    // a name what the resolver gives, in its order (RFC 6724 address selection).
    // Empty when nothing usable is found. A literal never asks DNS; a name waits for
    // it at most kLookupTimeoutMs.
    std::vector<std::string> AddressesOf(const std::string& address) const;

    // glibc's resolver gives a server 5 s before it tries the next: one such wait is the
    // most a lookup may hold its caller (the window, at Connect).
    static constexpr int kLookupTimeoutMs = 5000;
    // The most datagrams kept while the socket is not writable (the kernel's 500000-byte
    // send buffer full): 34 is 4 s of voice, what the far side's playback buffer holds;
    // anything older would be stale on arrival, and memory stays bounded however long
    // the stall lasts.
    static constexpr std::size_t kMaxQueuedDatagrams = 34;
    static constexpr int kBufferBytes = 500000;
    static constexpr int kDefaultReceiveBytes = 64000;
    static constexpr int kSpareBytes = 100;

protected:
    virtual void OnDatagram(uint8_t type, const uint8_t* payload, int length,
                            const std::string& address, int port); // base does nothing

    // Hands one received datagram to the receive handling exactly as the read
    // notification does (zero-filled copy with spare bytes, counters, OnDatagram).
    void InjectDatagram(const uint8_t* data, int length, const std::string& address, int port);

    // One attempt to send a datagram: 0 when sent, else the errno of the failure.
    // Runs on whichever thread flushes, outside the lock.
    virtual int SendToSystem(int fd, const uint8_t* data, int length, const sockaddr* to,
                             socklen_t toLength);
    // Sets the 500000-byte receive and send buffers on a new descriptor; false if refused.
    virtual bool SetBufferSizes(int fd);
    // A new non-blocking datagram descriptor of `family`, or -1 with errno set.
    virtual int NewDescriptor(int family);

private:
    struct QueuedDatagram {
        std::vector<uint8_t> bytes;
        std::string address;
        int port = 0;
    };

    void OnReadReady();
    void OnWriteReady();
    void Dispatch(const uint8_t* buffer, int length, const std::string& address, int port);
    void Flush(std::unique_lock<std::mutex>& lock);
    void ArmWriteNotifier();
    void ArmWriteNotifierHere();
    // -1 and errno when the socket cannot be made or bound.
    int OpenDescriptor(int family, const Tavrino::IpAddress* bindAddress, int port);
    bool Resolve(const std::string& address, int port, sockaddr_storage* to,
                 socklen_t* toLength) const;
    std::vector<Tavrino::IpAddress> Usable(const std::string& address) const;
    static std::vector<Tavrino::IpAddress> LookUpName(const std::string& name);

    std::string m_bindAddress;                  // owner's thread only
    int m_fd = -1;                              // written only by Open/Close on the owner's thread
    QSocketNotifier* m_readNotifier = nullptr;  // child of this
    QSocketNotifier* m_writeNotifier = nullptr; // child of this; enabled only while not writable
    // Written by Open and Close only, while no Send can be flushing.
    std::atomic<int> m_reach{REACH_V4 | REACH_V6};
    std::atomic<bool> m_dualStack{false};

    mutable std::mutex m_mutex;
    std::condition_variable m_flushDone;
    bool m_open = false;
    bool m_writable = true;
    bool m_flushing = false;
    std::deque<std::unique_ptr<QueuedDatagram>> m_queue;
    uint32_t m_outboundPeriod = 0;
    uint32_t m_outboundRate = 0;
    uint32_t m_outboundTotal = 0;

    // Owner's thread only.
    uint32_t m_inboundPeriod = 0;
    uint32_t m_inboundRate = 0;
    uint32_t m_inboundTotal = 0;
};
