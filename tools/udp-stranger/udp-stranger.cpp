// SPDX-License-Identifier: GPL-3.0-or-later
// udp-stranger: a third party on the network that sends stations datagrams of
// its own choosing, for the end-to-end tests and for trying attacks by hand.
//
//   udp-stranger --bind ADDR[:PORT] --to ADDR:PORT [--to ...] --send PACKET [--send ...]
//                [--every-ms N] [--for-ms N]
//
// PACKET is a packet type with its payload: TYPE (no payload), TYPE:LEN (LEN
// bytes of a fixed pattern) or TYPE=TEXT (TEXT, a zero byte and a random
// 8-byte call token; "%n" in TEXT becomes the number of the round, so each
// round is a new request). Every N ms (0: as fast as the socket takes them)
// one round goes out: every PACKET to every TO. It ends after --for-ms (default
// 10000), or on SIGINT or SIGTERM, and prints what it sent and, by packet
// type, what it received: "received: TYPE=COUNT ...".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};
void OnSignal(int) {
    g_stop = true;
}

using Clock = std::chrono::steady_clock;

struct Packet {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
    std::string text; // a request's user data, "%n" still in it
    bool request = false;
};

bool ParseEndpoint(const std::string& s, sockaddr_in& out, bool portOptional) {
    const auto colon = s.rfind(':');
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    if (colon != std::string::npos)
        out.sin_port = htons(static_cast<uint16_t>(std::atoi(s.c_str() + colon + 1)));
    else if (!portOptional)
        return false;
    return inet_pton(AF_INET, s.substr(0, colon).c_str(), &out.sin_addr) == 1;
}

bool ParsePacket(const std::string& s, Packet& out) {
    char* end = nullptr;
    const long type = std::strtol(s.c_str(), &end, 10);
    if (end == s.c_str() || type < 0 || type > 255)
        return false;
    out.type = static_cast<uint8_t>(type);
    if (*end == ':') {
        const long length = std::atol(end + 1);
        if (length < 0 || length > 65000)
            return false;
        for (long i = 0; i < length; ++i)
            out.payload.push_back(static_cast<uint8_t>(i * 37 + 11));
    } else if (*end == '=') {
        out.request = true;
        out.text = end + 1;
    } else if (*end != '\0') {
        return false;
    }
    return true;
}

std::vector<uint8_t> Datagram(const Packet& packet, long round) {
    if (!packet.request) {
        std::vector<uint8_t> bytes(packet.payload.size() + 1);
        bytes[0] = packet.type;
        std::copy(packet.payload.begin(), packet.payload.end(), bytes.begin() + 1);
        return bytes;
    }
    std::string text = packet.text;
    for (auto at = text.find("%n"); at != std::string::npos; at = text.find("%n"))
        text.replace(at, 2, std::to_string(round));
    std::vector<uint8_t> bytes(text.size() + 10, 0);
    bytes[0] = packet.type;
    std::copy(text.begin(), text.end(), bytes.begin() + 1);
    // A token of its own each round; never all zero, which receivers ignore.
    uint8_t* token = bytes.data() + text.size() + 2;
    if (getrandom(token, 8, 0) != 8 ||
        std::all_of(token, token + 8, [](uint8_t b) { return b == 0; }))
        token[0] = 1;
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    sockaddr_in local{};
    bool haveLocal = false;
    std::vector<sockaddr_in> targets;
    std::vector<Packet> packets;
    long everyMs = 5, forMs = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        bool ok = true;
        if (key == "--bind") {
            ok = haveLocal = ParseEndpoint(value, local, true);
        } else if (key == "--to") {
            targets.emplace_back();
            ok = ParseEndpoint(value, targets.back(), false);
        } else if (key == "--send") {
            packets.emplace_back();
            ok = ParsePacket(value, packets.back());
        } else if (key == "--every-ms") {
            everyMs = std::atol(value.c_str());
        } else if (key == "--for-ms") {
            forMs = std::atol(value.c_str());
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "udp-stranger: bad %s %s\n", key.c_str(), value.c_str());
            return 2;
        }
    }
    if (!haveLocal || targets.empty() || packets.empty() || everyMs < 0 || forMs < 0) {
        std::fprintf(stderr, "usage: udp-stranger --bind ADDR[:PORT] --to ADDR:PORT... "
                             "--send PACKET... [--every-ms N] [--for-ms N]\n");
        return 2;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("udp-stranger: bind");
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    long sent = 0, round = 0;
    std::map<int, long> received;
    const auto start = Clock::now();
    auto next = start;
    while (!g_stop && Clock::now() - start < std::chrono::milliseconds(forMs)) {
        if (Clock::now() >= next) {
            for (const Packet& packet : packets) {
                const std::vector<uint8_t> bytes = Datagram(packet, round);
                for (const sockaddr_in& to : targets)
                    if (sendto(fd, bytes.data(), bytes.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0)
                        ++sent;
            }
            ++round;
            next += std::chrono::milliseconds(everyMs);
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(std::max<long>(0, std::min<long>(wait.count(), 100)))) >
            0) {
            uint8_t buffer[65536];
            for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
                ++received[buffer[0]];
        }
    }
    std::printf("sent: %ld datagrams in %ld rounds\nreceived:", sent, round);
    for (const auto& [type, count] : received)
        std::printf(" %d=%ld", type, count);
    std::printf("\n");
    close(fd);
    return 0;
}
