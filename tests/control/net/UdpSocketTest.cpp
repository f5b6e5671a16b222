// SPDX-License-Identifier: GPL-3.0-or-later
// CUdpSocket on real UDP over 127.0.0.1: bytes on the wire, receive path, send queue, counters.
#include "CUdpSocket.h"
#include "Packets.h"
#include "RawPeer.h"
#include "WaitFor.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kLoopback = "127.0.0.1";

// Records what arrives, and lets a test make the system's send report would-block
// (a real EAGAIN cannot be provoked on loopback, where sends never wait).
class TestSocket : public CUdpSocket {
public:
    using CUdpSocket::InjectDatagram;

    struct Datagram {
        uint8_t type = 0;
        std::vector<uint8_t> payload;
        std::string address;
        int port = 0;
        bool spareBytesZero = false;
    };
    std::vector<Datagram> received;

    std::atomic<bool> blockSends{false};
    std::atomic<int> attempts{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> sendDelayUs{0};
    bool refuseBuffers = false;
    bool noIpv6 = false;

    void SendBytes(const std::vector<uint8_t>& datagram, int port,
                   const std::string& address = kLoopback) {
        Send(datagram[0], datagram.data() + 1, static_cast<int>(datagram.size()) - 1, address,
             port);
    }

protected:
    void OnDatagram(uint8_t type, const uint8_t* payload, int length, const std::string& address,
                    int port) override {
        Datagram d;
        d.type = type;
        d.payload.assign(payload, payload + length);
        d.address = address;
        d.port = port;
        // The receive buffer promises zeros past the datagram for the text readers.
        d.spareBytesZero = true;
        for (int i = 0; i < kSpareBytes; ++i) {
            d.spareBytesZero = d.spareBytesZero && payload[length + i] == 0;
        }
        received.push_back(std::move(d));
    }

    int SendToSystem(int fd, const uint8_t* data, int length, const sockaddr* to,
                     socklen_t toLength) override {
        ++attempts;
        ++inFlight;
        if (sendDelayUs > 0) {
            ::usleep(static_cast<useconds_t>(sendDelayUs.load()));
        }
        const int result =
            blockSends ? EAGAIN : CUdpSocket::SendToSystem(fd, data, length, to, toLength);
        --inFlight;
        return result;
    }
    bool SetBufferSizes(int fd) override {
        return !refuseBuffers && CUdpSocket::SetBufferSizes(fd);
    }
    int NewDescriptor(int family) override { // as a kernel booted with ipv6.disable=1 answers
        return family == AF_INET6 && noIpv6 ? (errno = EAFNOSUPPORT, -1)
                                            : CUdpSocket::NewDescriptor(family);
    }
};

bool WaitForDatagrams(const TestSocket& socket, size_t count) {
    return WaitFor([&] { return socket.received.size() >= count; }, 5000);
}

std::vector<uint8_t> Numbered(int sender, int n) {
    return Bytes({PKT_TEXT, sender, n & 0xFF, (n >> 8) & 0xFF, 0, 0});
}

class UdpSocketTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(socket.Open(0));
        port = socket.LocalPort();
        ASSERT_GT(port, 0);
    }
    TestSocket socket;
    int port = -1;
    RawPeer peer;
};

} // namespace

TEST_F(UdpSocketTest, PutsTheProtocolsDatagramsOnTheWireByteForByte) {
    CCallToken token;
    token.seconds = 1;
    token.count = 2;
    const auto request = BuildCallRequestPayload("abc", token);
    socket.Send(PKT_CALL_REQUEST, request.data(), static_cast<int>(request.size()), kLoopback,
                peer.Port());
    EXPECT_EQ(peer.Receive(), Bytes({0x01, 0x61, 0x62, 0x63, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02,
                                     0x00, 0x00, 0x00}));

    const auto text = BuildTextPayload("abc", "");
    socket.Send(PKT_TEXT, text.data(), static_cast<int>(text.size()), kLoopback, peer.Port());
    EXPECT_EQ(peer.Receive(), Bytes({0x04, 0x61, 0x62, 0x63, 0x00, 0x00}));

    socket.Send(PKT_KEEPALIVE, nullptr, 0, kLoopback, peer.Port());
    EXPECT_EQ(peer.Receive(), Bytes({0x03}));

    const auto accept = BuildTokenPayload(token);
    socket.Send(PKT_ACCEPT, accept.data(), 8, "localhost", peer.Port()); // resolved name
    EXPECT_EQ(peer.Receive(), Bytes({12, 1, 0, 0, 0, 2, 0, 0, 0}));

    std::vector<uint8_t> frame(VOICE_FRAME_BYTES);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(i * 7);
    }
    socket.Send(PKT_VOICE, frame.data(), VOICE_FRAME_BYTES, kLoopback, peer.Port());
    const auto voice = peer.Receive();
    ASSERT_TRUE(voice.has_value());
    ASSERT_EQ(voice->size(), 196u);
    EXPECT_EQ((*voice)[0], PKT_VOICE);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), voice->begin() + 1));

    EXPECT_EQ(socket.OutboundTotal(), 13 + 6 + 1 + 9 + 196);
    EXPECT_EQ(socket.QueuedCount(), 0);
}

TEST_F(UdpSocketTest, ReceivedDatagramBecomesTypePayloadAndSender) {
    ASSERT_TRUE(peer.SendTo(port, Bytes({0x01, 0x61, 0x62, 0x63, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02,
                                         0x00, 0x00, 0x00})));
    ASSERT_TRUE(WaitForDatagrams(socket, 1));
    const TestSocket::Datagram& d = socket.received[0];
    EXPECT_EQ(d.type, PKT_CALL_REQUEST);
    EXPECT_EQ(d.payload.size(), 12u);
    EXPECT_EQ(d.address, kLoopback);
    EXPECT_EQ(d.port, peer.Port());
    EXPECT_TRUE(d.spareBytesZero);
    const CallRequest request = ReadCallRequest(d.payload.data(), 12);
    EXPECT_EQ(request.userData, "abc");
    EXPECT_EQ(request.token.seconds, 1u);
    EXPECT_EQ(request.token.count, 2u);
    EXPECT_EQ(socket.InboundTotal(), 13);

    // A datagram near the UDP maximum arrives whole (the buffer is sized by FIONREAD).
    std::vector<uint8_t> big(65000);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(1 + i % 251);
    }
    big[0] = PKT_TEXT;
    ASSERT_TRUE(peer.SendTo(port, big));
    ASSERT_TRUE(WaitForDatagrams(socket, 2));
    EXPECT_EQ(socket.received[1].payload, std::vector<uint8_t>(big.begin() + 1, big.end()));
    EXPECT_TRUE(socket.received[1].spareBytesZero);
    EXPECT_EQ(socket.InboundTotal(), 13 + 65000);
}

TEST_F(UdpSocketTest, ZeroLengthDatagramIsIgnoredAndNotCounted) {
    ASSERT_TRUE(peer.SendTo(port, {}));
    ASSERT_TRUE(peer.SendTo(port, Bytes({PKT_KEEPALIVE})));
    ASSERT_TRUE(WaitForDatagrams(socket, 1));
    QTest::qWait(50);
    ASSERT_EQ(socket.received.size(), 1u);
    EXPECT_EQ(socket.received[0].type, PKT_KEEPALIVE);
    EXPECT_TRUE(socket.received[0].payload.empty());
    EXPECT_EQ(socket.InboundTotal(), 1);

    // The same holds for the receive handling fed directly.
    socket.InjectDatagram(nullptr, 0, kLoopback, 1);
    EXPECT_EQ(socket.received.size(), 1u);
    EXPECT_EQ(socket.InboundTotal(), 1);
}

TEST_F(UdpSocketTest, CountersTotalsAndPeriods) {
    EXPECT_EQ(socket.OutboundTotal(), 0);
    EXPECT_EQ(socket.InboundTotal(), 0);
    EXPECT_EQ(socket.OutboundRate(), 0);
    EXPECT_EQ(socket.InboundRate(), 0);

    for (int i = 0; i < 3; ++i) {
        socket.Send(PKT_KEEPALIVE, nullptr, 0, kLoopback, peer.Port());
    }
    EXPECT_EQ(socket.OutboundTotal(), 3);
    std::vector<uint8_t> voice(196, 0);
    voice[0] = PKT_VOICE;
    ASSERT_TRUE(peer.SendTo(port, voice));
    ASSERT_TRUE(WaitForDatagrams(socket, 1));
    EXPECT_EQ(socket.InboundTotal(), 196);
    EXPECT_EQ(socket.OutboundRate(), 0); // rates move only at the period close

    socket.ClosePeriod();
    EXPECT_EQ(socket.OutboundRate(), 3);
    EXPECT_EQ(socket.InboundRate(), 196);
    socket.Send(PKT_HANGUP, nullptr, 0, kLoopback, peer.Port());
    socket.ClosePeriod();
    EXPECT_EQ(socket.OutboundRate(), 1);
    EXPECT_EQ(socket.InboundRate(), 0);
    EXPECT_EQ(socket.OutboundTotal(), 4);
    EXPECT_EQ(socket.InboundTotal(), 196);

    // Opening again starts every counter afresh.
    socket.Close();
    ASSERT_TRUE(socket.Open(0));
    EXPECT_EQ(socket.OutboundTotal(), 0);
    EXPECT_EQ(socket.InboundTotal(), 0);
    EXPECT_EQ(socket.OutboundRate(), 0);
    EXPECT_EQ(socket.InboundRate(), 0);
}

TEST_F(UdpSocketTest, DatagramsQueuedBehindWouldBlockLeaveInOrder) {
    socket.blockSends = true;
    socket.SendBytes(Bytes({PKT_TEXT, 'A', 0, 0}), peer.Port());
    EXPECT_FALSE(socket.IsWritable());
    EXPECT_EQ(socket.QueuedCount(), 1);
    socket.SendBytes(Bytes({PKT_TEXT, 'B', 0, 0}), peer.Port());
    socket.SendBytes(Bytes({PKT_TEXT, 'C', 0, 0}), peer.Port());
    // Not writable: B and C wait without an attempt.
    EXPECT_EQ(socket.attempts, 1);
    EXPECT_EQ(socket.QueuedCount(), 3);
    EXPECT_FALSE(peer.Receive(100).has_value());

    // The write notification makes it writable again but sends nothing by itself.
    socket.blockSends = false;
    ASSERT_TRUE(WaitFor([&] { return socket.IsWritable(); }, 5000));
    EXPECT_EQ(socket.QueuedCount(), 3);
    EXPECT_FALSE(peer.Receive(100).has_value());

    socket.SendBytes(Bytes({PKT_TEXT, 'D', 0, 0}), peer.Port());
    for (char expected : {'A', 'B', 'C', 'D'}) {
        const auto d = peer.Receive();
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ((*d)[1], expected);
    }
    EXPECT_EQ(socket.QueuedCount(), 0);
    // A was attempted twice and counted at each attempt.
    EXPECT_EQ(socket.OutboundTotal(), 5 * 4);
}

TEST_F(UdpSocketTest, QueueBehindWouldBlockKeepsTheNewestUpToItsBound) {
    socket.blockSends = true;
    const int extra = 5;
    const int sent = static_cast<int>(CUdpSocket::kMaxQueuedDatagrams) + extra;
    for (int n = 0; n < sent; ++n)
        socket.SendBytes(Numbered(1, n), peer.Port());
    ASSERT_EQ(socket.QueuedCount(), static_cast<int>(CUdpSocket::kMaxQueuedDatagrams));
    socket.blockSends = false;
    ASSERT_TRUE(WaitFor([&] { return socket.IsWritable(); }, 5000));
    socket.SendBytes(Numbered(1, sent), peer.Port());
    for (int n = extra; n <= sent; ++n)
        EXPECT_EQ(peer.Receive(), Numbered(1, n));
}

TEST_F(UdpSocketTest, WouldBlockOnAnotherThreadIsNoticedOnTheOwnersThread) {
    socket.blockSends = true;
    std::thread capture([&] { socket.SendBytes(Bytes({PKT_TEXT, 'A', 0, 0}), peer.Port()); });
    capture.join();
    EXPECT_FALSE(socket.IsWritable());
    socket.blockSends = false;
    // The capture thread cannot touch the notifier; the owner's thread arms it.
    ASSERT_TRUE(WaitFor([&] { return socket.IsWritable(); }, 5000));
    socket.SendBytes(Bytes({PKT_TEXT, 'B', 0, 0}), peer.Port());
    EXPECT_EQ((*peer.Receive())[1], 'A');
    EXPECT_EQ((*peer.Receive())[1], 'B');
}

TEST_F(UdpSocketTest, UnresolvableNameDropsOnlyThatDatagram) {
    socket.SendBytes(Bytes({PKT_TEXT, 'A', 0, 0}), peer.Port());
    socket.SendBytes(Bytes({PKT_TEXT, 'X', 0, 0}), peer.Port(), "no-such-host.invalid");
    socket.SendBytes(Bytes({PKT_TEXT, 'B', 0, 0}), peer.Port());
    EXPECT_EQ((*peer.Receive())[1], 'A');
    EXPECT_EQ((*peer.Receive())[1], 'B');
    EXPECT_EQ(socket.QueuedCount(), 0);
    EXPECT_TRUE(socket.IsWritable());

    // Also from the middle of a queue that waited behind a would-block.
    socket.blockSends = true;
    socket.SendBytes(Bytes({PKT_TEXT, 'C', 0, 0}), peer.Port());
    socket.SendBytes(Bytes({PKT_TEXT, 'Y', 0, 0}), peer.Port(), "no-such-host.invalid");
    socket.SendBytes(Bytes({PKT_TEXT, 'D', 0, 0}), peer.Port());
    socket.blockSends = false;
    ASSERT_TRUE(WaitFor([&] { return socket.IsWritable(); }, 5000));
    socket.SendBytes(Bytes({PKT_TEXT, 'E', 0, 0}), peer.Port());
    for (char expected : {'C', 'D', 'E'}) {
        const auto d = peer.Receive();
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ((*d)[1], expected);
    }
    EXPECT_FALSE(peer.Receive(100).has_value());
    EXPECT_EQ(socket.QueuedCount(), 0);
}

TEST_F(UdpSocketTest, OtherSendFailuresDropJustThatDatagram) {
    // Real failures of sendto: broadcast without SO_BROADCAST (EACCES) and a datagram
    // larger than UDP allows (EMSGSIZE). Each attempt still counts.
    socket.SendBytes(Bytes({PKT_TEXT, 'A', 0, 0}), 9, "255.255.255.255");
    std::vector<uint8_t> huge(70000, 'x');
    huge[0] = PKT_TEXT;
    socket.SendBytes(huge, peer.Port());
    socket.SendBytes(Bytes({PKT_TEXT, 'B', 0, 0}), peer.Port());
    const auto d = peer.Receive();
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(*d, Bytes({PKT_TEXT, 'B', 0, 0}));
    EXPECT_FALSE(peer.Receive(100).has_value());
    EXPECT_EQ(socket.QueuedCount(), 0);
    EXPECT_TRUE(socket.IsWritable());
    EXPECT_EQ(socket.OutboundTotal(), 4 + 70000 + 4);
}

TEST_F(UdpSocketTest, DatagramForTheEmptyPeerIsDroppedWithoutASend) {
    socket.Send(PKT_KEEPALIVE, nullptr, 0, "", -1);
    socket.Send(PKT_KEEPALIVE, nullptr, 0, kLoopback, 70000);
    EXPECT_EQ(socket.attempts, 0);
    EXPECT_EQ(socket.QueuedCount(), 0);
    socket.Send(PKT_KEEPALIVE, nullptr, 0, kLoopback, peer.Port());
    EXPECT_EQ(socket.attempts, 1);
    EXPECT_EQ(peer.Receive(), Bytes({PKT_KEEPALIVE}));
}

TEST_F(UdpSocketTest, CloseDiscardsTheQueueAndIsSafeTwice) {
    socket.blockSends = true;
    socket.SendBytes(Bytes({PKT_TEXT, 'A', 0, 0}), peer.Port());
    socket.SendBytes(Bytes({PKT_TEXT, 'B', 0, 0}), peer.Port());
    ASSERT_EQ(socket.QueuedCount(), 2);
    socket.Close();
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.QueuedCount(), 0);
    socket.Close();
    EXPECT_EQ(socket.LocalPort(), -1);

    const int32_t counted = socket.OutboundTotal();
    socket.blockSends = false;
    socket.SendBytes(Bytes({PKT_TEXT, 'Z', 0, 0}), peer.Port()); // closed: dropped, not counted
    EXPECT_EQ(socket.OutboundTotal(), counted);

    ASSERT_TRUE(socket.Open(0));
    socket.SendBytes(Bytes({PKT_TEXT, 'C', 0, 0}), peer.Port());
    EXPECT_EQ((*peer.Receive())[1], 'C'); // A and B never went out
    EXPECT_FALSE(peer.Receive(100).has_value());
}

TEST_F(UdpSocketTest, TwoSendingThreadsLoseNothingAndCountRight) {
    constexpr int kPerThread = 1000;
    std::vector<std::vector<uint8_t>> seen;
    std::thread receiver([&] {
        while (seen.size() < 2 * kPerThread) {
            auto d = peer.Receive(3000);
            if (!d) {
                return;
            }
            seen.push_back(std::move(*d));
        }
    });
    auto sender = [&](int id) {
        for (int n = 0; n < kPerThread; ++n) {
            socket.SendBytes(Numbered(id, n), peer.Port());
        }
    };
    std::thread capture(sender, 2);
    sender(1);
    capture.join();
    receiver.join();

    ASSERT_EQ(seen.size(), 2u * kPerThread);
    int next[3] = {0, 0, 0};
    for (const auto& d : seen) {
        const int id = d[1];
        ASSERT_TRUE(id == 1 || id == 2);
        EXPECT_EQ(d[2] | (d[3] << 8), next[id]); // each thread's datagrams stay in order
        ++next[id];
    }
    EXPECT_EQ(socket.OutboundTotal(), 2 * kPerThread * 6);
    EXPECT_EQ(socket.QueuedCount(), 0);
}

TEST_F(UdpSocketTest, CloseWaitsForAFlushRunningOnAnotherThread) {
    socket.sendDelayUs = 2000; // widen the window in which the other thread is sending
    std::atomic<bool> stop{false};
    std::atomic<int> sends{0};
    std::thread capture([&] {
        while (!stop) {
            socket.SendBytes(Bytes({PKT_VOICE, 1, 2, 3}), peer.Port());
            ++sends;
        }
    });
    ASSERT_TRUE(WaitFor([&] { return sends > 20; }, 5000));
    socket.Close();
    // Once Close has returned, no send is under way and none starts.
    EXPECT_EQ(socket.inFlight, 0);
    const int attemptsAtClose = socket.attempts;
    const int32_t countedAtClose = socket.OutboundTotal();
    const int sendsAtClose = sends;
    ASSERT_TRUE(WaitFor([&] { return sends > sendsAtClose + 20; }, 5000));
    stop = true;
    capture.join();
    EXPECT_EQ(socket.attempts, attemptsAtClose);
    EXPECT_EQ(socket.OutboundTotal(), countedAtClose);
    EXPECT_EQ(socket.QueuedCount(), 0);
}

TEST_F(UdpSocketTest, CloseLetsARunningFlushSendWhatWasQueuedBehindIt) {
    // The capture thread is inside a slow send when the control's thread queues a hang-up
    // and closes at once, as Disconnect followed by UnInitialize does.
    socket.sendDelayUs = 200000;
    std::thread capture([&] { socket.SendBytes(Bytes({PKT_VOICE, 1, 2, 3}), peer.Port()); });
    ASSERT_TRUE(WaitFor([&] { return socket.inFlight == 1; }, 5000));
    socket.SendBytes(Bytes({PKT_HANGUP}), peer.Port());
    socket.Close();
    capture.join();
    EXPECT_EQ(peer.Receive(), Bytes({PKT_VOICE, 1, 2, 3}));
    EXPECT_EQ(peer.Receive(), Bytes({PKT_HANGUP}));
}

TEST(UdpSocketOpen, BindsTheConfiguredAddressOrFails) {
    TestSocket socket;
    EXPECT_FALSE(socket.Open(-1));
    EXPECT_FALSE(socket.Open(65536));
    EXPECT_FALSE(socket.IsOpen());

    socket.SetBindAddress("not-an-address");
    EXPECT_FALSE(socket.Open(0));
    socket.SetBindAddress("127.0.0.1");
    ASSERT_TRUE(socket.Open(0));

    // A datagram to another loopback address must not reach a socket bound to 127.0.0.1.
    RawPeer peer;
    ASSERT_TRUE(peer.SendTo("127.0.0.2", socket.LocalPort(), Bytes({PKT_KEEPALIVE})));
    ASSERT_TRUE(peer.SendTo(socket.LocalPort(), Bytes({PKT_HANGUP})));
    ASSERT_TRUE(WaitForDatagrams(socket, 1));
    QTest::qWait(50);
    ASSERT_EQ(socket.received.size(), 1u);
    EXPECT_EQ(socket.received[0].type, PKT_HANGUP);

    // Buffers refused: nothing stays open, and the port is free again.
    TestSocket refused;
    refused.refuseBuffers = true;
    EXPECT_FALSE(refused.Open(0));
    EXPECT_FALSE(refused.IsOpen());
    EXPECT_EQ(refused.LocalPort(), -1);

    // The port is taken now: a second socket cannot bind it.
    TestSocket second;
    EXPECT_FALSE(second.Open(socket.LocalPort()));
    EXPECT_FALSE(second.IsOpen());
    second.Close();
}

// One socket for both families: each peer is heard and answered, and shown in the one text
// of its address (an IPv4 peer dotted, never ::ffff:) whatever spelling a send uses. Without
// IPv6 in the kernel it is the IPv4 socket; a bind address keeps to its family.
TEST(UdpSocketFamilies, ServesBothFamiliesOnOneSocketOrWhatItCan) {
    const RawPeer v4, v6(true);
    if (v6.Port() < 0) {
        GTEST_SKIP() << "this machine has no ::1";
    }
    struct Peer {
        const RawPeer* raw;
        const char *shown, *sendTo;
    };
    const Peer four{&v4, "127.0.0.1", "::ffff:127.0.0.1"}, six{&v6, "::1", "[0:0:0:0:0:0:0:1]"};
    using S = CUdpSocket;
    // No IPv6 in the kernel, the bind address (empty: all), what is reached and what not.
    const std::tuple<bool, const char*, int, std::vector<Peer>, std::vector<Peer>> cases[] = {
        {false, "", S::REACH_V4 | S::REACH_V6, {four, six}, {}},
        {true, "", S::REACH_V4, {four}, {six}},
        {false, "[::1]", S::REACH_V6, {six}, {four}}};
    for (const auto& [noIpv6, bind, reach, reached, unreached] : cases) {
        TestSocket socket;
        socket.noIpv6 = noIpv6;
        socket.SetBindAddress(bind);
        ASSERT_TRUE(socket.Open(0));
        EXPECT_EQ(socket.Reachable(), reach) << bind;
        for (const Peer& p : reached) {
            ASSERT_TRUE(p.raw->SendTo(socket.LocalPort(), Bytes({PKT_KEEPALIVE})));
            ASSERT_TRUE(WaitForDatagrams(socket, 1));
            EXPECT_EQ(Tavrino::AddressWithPort(socket.received.back().address,
                                               socket.received.back().port),
                      Tavrino::AddressWithPort(p.shown, p.raw->Port()));
            socket.received.clear();
            socket.SendBytes(Bytes({PKT_HANGUP}), p.raw->Port(), p.sendTo);
            EXPECT_EQ(p.raw->Receive(), Bytes({PKT_HANGUP})) << p.sendTo;
        }
        for (const Peer& p : unreached) {
            socket.SendBytes(Bytes({PKT_HANGUP}), p.raw->Port(), p.sendTo);
            EXPECT_FALSE(p.raw->Receive(200) || !socket.AddressesOf(p.sendTo).empty()) << p.sendTo;
        }
    }
}
