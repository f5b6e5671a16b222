// SPDX-License-Identifier: GPL-3.0-or-later
// audio-room: a loudspeaker and a microphone in one room, between two FIFOs, in real time.
//
//   audio-room --speaker FIFO --mic FIFO [--delay-ms 20] [--gain 0.5] [--noise-dbfs -60]
//              [--seconds 0]
//
// Reads raw 8 kHz s16le mono from --speaker (what a PulseAudio pipe sink plays) and writes
// what a microphone would hear into --mic (a pipe source's FIFO): that audio through a
// small room's echo path, with noise. The microphone is written every 10 ms by the
// clock, so it runs in real time whether or not anything plays; what the speaker has not
// delivered counts as silence. Stops after --seconds (0: on SIGTERM or SIGINT).
#include "EchoPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

int Usage() {
    std::fprintf(stderr, "usage: audio-room --speaker FIFO --mic FIFO [--delay-ms N] "
                         "[--gain G] [--noise-dbfs D] [--seconds S]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string speakerPath, micPath;
    double delayMs = 20, gain = 0.5, noiseDbfs = -60, seconds = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--speaker")
            speakerPath = value;
        else if (key == "--mic")
            micPath = value;
        else if (key == "--delay-ms")
            delayMs = std::atof(value);
        else if (key == "--gain")
            gain = std::atof(value);
        else if (key == "--noise-dbfs")
            noiseDbfs = std::atof(value);
        else if (key == "--seconds")
            seconds = std::atof(value);
        else
            return Usage();
    }
    if (argc % 2 == 0 || speakerPath.empty() || micPath.empty() || delayMs < 0)
        return Usage();

    const int speaker = open(speakerPath.c_str(), O_RDONLY | O_NONBLOCK);
    const int mic = open(micPath.c_str(), O_WRONLY);
    if (speaker < 0 || mic < 0) {
        std::fprintf(stderr, "audio-room: cannot open %s: %s\n",
                     (speaker < 0 ? speakerPath : micPath).c_str(), std::strerror(errno));
        return 1;
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    constexpr int kTick = 80; // 10 ms
    EchoPath path(static_cast<int>(delayMs * 8), EchoPath::SmallRoom(gain), noiseDbfs);
    std::deque<int16_t> played;
    std::vector<int16_t> in(4096), out(kTick);
    const auto start = std::chrono::steady_clock::now();
    for (long tick = 1; g_stop == 0; ++tick) {
        if (seconds > 0 && tick * 0.01 > seconds)
            break;
        std::this_thread::sleep_until(start + std::chrono::milliseconds(10) * tick);
        ssize_t n;
        while ((n = read(speaker, in.data(), in.size() * 2)) > 0)
            played.insert(played.end(), in.begin(), in.begin() + n / 2);
        // A sink that runs ahead of the clock would otherwise stretch the echo's delay for good.
        if (played.size() > 8000)
            played.erase(played.begin(), played.end() - 8000);
        for (int16_t& sample : out) {
            int16_t x = 0;
            if (!played.empty()) {
                x = played.front();
                played.pop_front();
            }
            sample = ToSample(path.Next(x));
        }
        if (write(mic, out.data(), out.size() * 2) < 0 && errno != EINTR) {
            std::fprintf(stderr, "audio-room: cannot write %s: %s\n", micPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    close(speaker);
    close(mic);
    return 0;
}
