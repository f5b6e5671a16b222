// SPDX-License-Identifier: GPL-3.0-or-later
// udp-impair: a UDP relay that loses and delays datagrams, standing in for a
// bad network link between two stations in the end-to-end tests (the kernel
// here has no netem queueing discipline).
//
//   udp-impair --front ADDR:PORT --back ADDR:PORT --to ADDR:PORT
//              [--loss P] [--delay-ms D] [--jitter-ms J] [--seed S]
//              [--loss-out P] [--loss-back P] [--delay-out-ms D] [--delay-back-ms D]
//              [--jitter-out-ms J] [--jitter-back-ms J] [--jitter-stop-after-s S]
//              [--drop-type T]... [--record FILE]
//
// Datagrams that reach FRONT are sent on from BACK to TO ("out"); datagrams that
// come back from TO to BACK are sent on from FRONT to the last sender seen at FRONT
// ("back"). Each datagram is lost with probability P (0..1); the others leave after
// D + uniform(0, J) milliseconds, so jitter can reorder them as a real link does.
// --loss, --delay-ms and --jitter-ms set both directions; the -out and -back forms
// set one, whatever the order of the options. --jitter-stop-after-s ends the jitter
// S seconds after the first datagram arrived (the delay stays), so a receiver's
// buffer can be seen to shrink back. The draws come from one generator seeded by
// --seed, in arrival order, so a run repeats another of the same traffic.
// --drop-type drops every datagram whose first byte (the packet type) is T, in
// both directions (the option may be repeated), standing in for a path that loses
// one kind of packet. --record writes every datagram that arrives, before loss, one
// line each: ">" (front to TO) or "<", then its bytes in hex. On SIGINT or SIGTERM it
// prints its counts, out then back: datagrams forwarded, dropped, and forwarded
// with jitter still on, and exits 0.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <queue>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_stop{false}; // lock-free, so safe to set from the signal handler
void OnSignal(int) { g_stop = true; }

using Clock = std::chrono::steady_clock;

struct Pending {
    Clock::time_point due;
    int fromSocket;
    sockaddr_in to;
    std::vector<char> data;
    bool operator>(const Pending& o) const { return due > o.due; }
};

bool ParseEndpoint(const char* text, sockaddr_in& out) {
    std::string s(text);
    const auto colon = s.rfind(':');
    if (colon == std::string::npos)
        return false;
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(std::atoi(s.c_str() + colon + 1)));
    return inet_pton(AF_INET, s.substr(0, colon).c_str(), &out.sin_addr) == 1;
}

int BoundSocket(const sockaddr_in& at) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char** argv) {
    sockaddr_in front{}, back{}, to{};
    bool haveFront = false, haveBack = false, haveTo = false;
    // [0] out (front to TO), [1] back; a direction's own option wins over the shared one.
    double loss = 0, delayMs = 0, jitterMs = 0, jitterStopS = -1;
    std::optional<double> ownLoss[2], ownDelayMs[2], ownJitterMs[2];
    unsigned seed = 1;
    std::set<int> dropTypes;
    FILE* record = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        if (k == "--front")
            haveFront = ParseEndpoint(argv[i + 1], front);
        else if (k == "--back")
            haveBack = ParseEndpoint(argv[i + 1], back);
        else if (k == "--to")
            haveTo = ParseEndpoint(argv[i + 1], to);
        else if (k == "--loss")
            loss = std::atof(argv[i + 1]);
        else if (k == "--delay-ms")
            delayMs = std::atof(argv[i + 1]);
        else if (k == "--jitter-ms")
            jitterMs = std::atof(argv[i + 1]);
        else if (k == "--loss-out" || k == "--loss-back")
            ownLoss[k == "--loss-back"] = std::atof(argv[i + 1]);
        else if (k == "--delay-out-ms" || k == "--delay-back-ms")
            ownDelayMs[k == "--delay-back-ms"] = std::atof(argv[i + 1]);
        else if (k == "--jitter-out-ms" || k == "--jitter-back-ms")
            ownJitterMs[k == "--jitter-back-ms"] = std::atof(argv[i + 1]);
        else if (k == "--jitter-stop-after-s")
            jitterStopS = std::atof(argv[i + 1]);
        else if (k == "--seed")
            seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
        else if (k == "--drop-type")
            dropTypes.insert(std::atoi(argv[i + 1]));
        else if (k == "--record" && !(record = std::fopen(argv[i + 1], "w"))) {
            std::perror("udp-impair: --record");
            return 1;
        }
    }
    if (!haveFront || !haveBack || !haveTo) {
        std::fprintf(stderr, "usage: udp-impair --front A:P --back A:P --to A:P [--loss P] "
                             "[--delay-ms D] [--jitter-ms J] [--seed S] [--loss-out P] "
                             "[--loss-back P] [--delay-out-ms D] [--delay-back-ms D] "
                             "[--jitter-out-ms J] [--jitter-back-ms J] [--jitter-stop-after-s S] "
                             "[--drop-type T]... [--record FILE]\n");
        return 2;
    }
    const double lossOf[2] = {ownLoss[0].value_or(loss), ownLoss[1].value_or(loss)};
    const double delayMsOf[2] = {ownDelayMs[0].value_or(delayMs), ownDelayMs[1].value_or(delayMs)};
    const double jitterMsOf[2] = {ownJitterMs[0].value_or(jitterMs), ownJitterMs[1].value_or(jitterMs)};
    const int frontFd = BoundSocket(front), backFd = BoundSocket(back);
    if (frontFd < 0 || backFd < 0) {
        std::perror("udp-impair: bind");
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::priority_queue<Pending, std::vector<Pending>, std::greater<>> queue;
    sockaddr_in client{};
    bool haveClient = false;
    long forwarded[2] = {0, 0}, dropped[2] = {0, 0}, jittered[2] = {0, 0}; // [0] out, [1] back
    std::optional<Clock::time_point> jitterEnd; // set by the first datagram

    while (!g_stop) {
        int timeoutMs = 50;
        if (!queue.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                queue.top().due - Clock::now());
            timeoutMs = static_cast<int>(std::max<long long>(0, std::min<long long>(50, wait.count())));
        }
        pollfd fds[2] = {{frontFd, POLLIN, 0}, {backFd, POLLIN, 0}};
        poll(fds, 2, timeoutMs);
        for (int side = 0; side < 2; ++side) {
            if (!(fds[side].revents & POLLIN))
                continue;
            char buf[65536];
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            const ssize_t n = recvfrom(fds[side].fd, buf, sizeof buf, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (n < 0)
                continue;
            if (side == 0) {
                client = from;
                haveClient = true;
            } else if (!haveClient) {
                continue; // nobody to hand it to yet
            }
            if (record) {
                std::fputc(side == 0 ? '>' : '<', record);
                for (ssize_t i = 0; i < n; ++i)
                    std::fprintf(record, "%02x", static_cast<unsigned char>(buf[i]));
                std::fputc('\n', record);
                std::fflush(record);
            }
            const auto now = Clock::now();
            if (!jitterEnd && jitterStopS >= 0)
                jitterEnd = now + std::chrono::microseconds(static_cast<long long>(jitterStopS * 1e6));
            if ((n > 0 && dropTypes.count(static_cast<unsigned char>(buf[0]))) || unit(rng) < lossOf[side]) {
                ++dropped[side];
                continue;
            }
            // Drawn even when the jitter is off, so the losses that follow stay those of the seed.
            const double draw = unit(rng);
            const bool jitter = !jitterEnd || now < *jitterEnd;
            jittered[side] += jitter;
            const auto delay = std::chrono::microseconds(static_cast<long long>(
                (delayMsOf[side] + (jitter ? draw * jitterMsOf[side] : 0.0)) * 1000.0));
            queue.push(Pending{now + delay, side == 0 ? backFd : frontFd,
                               side == 0 ? to : client, std::vector<char>(buf, buf + n)});
            ++forwarded[side];
        }
        while (!queue.empty() && queue.top().due <= Clock::now()) {
            const Pending& p = queue.top();
            sendto(p.fromSocket, p.data.data(), p.data.size(), 0,
                   reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
            queue.pop();
        }
    }
    std::printf("forwarded: %ld %ld\ndropped: %ld %ld\njittered: %ld %ld\n", forwarded[0], forwarded[1],
                dropped[0], dropped[1], jittered[0], jittered[1]);
    if (record)
        std::fclose(record);
    close(frontFd);
    close(backFd);
    return 0;
}
