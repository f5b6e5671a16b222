// SPDX-License-Identifier: GPL-3.0-or-later
// Playback through the real ALSA output, heard back from the PulseAudio sink's monitor.
#include "CPlaybackDevice.h"
#include "CPlaybackStream.h"
#include "AlsaAudioOutput.h"
#include "AudioOutputBuffer.h"
#include "AudioOutputFactory.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double TONE_HZ = 1000;

// Output of a command run in the background (`pactl ...`), or "" when it fails.
std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (p == nullptr) {
        return out;
    }
    char buf[256];
    while (fgets(buf, sizeof buf, p) != nullptr) {
        out += buf;
    }
    if (pclose(p) != 0) {
        return {};
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

// Records a PulseAudio source with parec, 8 kHz mono, on a reader thread.
class MonitorRecorder {
public:
    ~MonitorRecorder() { Stop(); }

    bool Start(const std::string& source) {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const std::string device = "--device=" + source;
        const char* argv[] = {
            "parec",        device.c_str(),      "--raw", "--format=s16le", "--rate=8000",
            "--channels=1", "--latency-msec=20", nullptr};
        const int rc = posix_spawnp(&m_pid, "parec", &actions, nullptr,
                                    const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            m_pid = -1;
            return false;
        }
        m_fd = fds[0];
        m_reader = std::thread([this] {
            int16_t buf[400];
            for (;;) {
                const ssize_t n = read(m_fd, buf, sizeof buf);
                if (n <= 0) {
                    break;
                }
                std::lock_guard lock(m_mutex);
                m_samples.insert(m_samples.end(), buf, buf + n / 2);
            }
        });
        return true;
    }

    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
        if (m_reader.joinable()) {
            m_reader.join();
        }
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }

    size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_samples.size();
    }
    std::vector<int16_t> Samples() {
        std::lock_guard lock(m_mutex);
        return m_samples;
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::vector<int16_t> m_samples; // guarded
};

// Share of a window's energy at TONE_HZ (Goertzel), and its RMS level.
void Measure(const int16_t* x, size_t n, double* toneShare, double* rms) {
    const double w = 2 * M_PI * TONE_HZ / 8000;
    const double c = 2 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    double energy = 0;
    for (size_t i = 0; i < n; ++i) {
        const double s0 = x[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += double(x[i]) * x[i];
    }
    const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    // A pure tone of the window's energy E gives power = E * n / 2.
    *toneShare = energy > 0 ? power / (energy * n / 2) : 0;
    *rms = std::sqrt(energy / n);
}

class AlsaPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        // A sink of our own, so other tests' sound and volume changes cannot reach it.
        const std::string sink = "tessora_playback_" + std::to_string(getpid());
        m_module = Shell("pactl load-module module-null-sink sink_name=" + sink);
        if (!m_module.empty()) {
            ::setenv("PULSE_SINK", sink.c_str(), 1);
            m_source = sink + ".monitor";
        } else {
            const std::string fallback = Shell("pactl get-default-sink");
            if (fallback.empty()) {
                GTEST_SKIP() << "no PulseAudio server to listen to the output";
            }
            m_source = fallback + ".monitor";
        }
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
            GTEST_SKIP() << "the ALSA default device cannot be opened";
        }
        snd_pcm_close(pcm);
    }

    void TearDown() override {
        if (!m_module.empty()) {
            ::unsetenv("PULSE_SINK");
            Shell("pactl unload-module " + m_module);
        }
    }

    std::string m_module;
    std::string m_source;
};

TEST_F(AlsaPlayback, ATonePlayedThroughTheDeviceIsHeardOnTheSink) {
    MonitorRecorder recorder;
    if (!recorder.Start(m_source)) {
        GTEST_SKIP() << "parec is not available";
    }
    // The first read of a monitor can take about two seconds: wait for it.
    if (!WaitForThreads([&] { return recorder.Count() >= 4000; }, 10s)) {
        GTEST_SKIP() << "the monitor of " << m_source << " delivers nothing";
    }

    AlsaAudioOutput* alsa = nullptr;
    CPlaybackDevice device{[&alsa](std::string* error) {
        auto output = CreateAudioOutput("alsa:default", error);
        alsa = dynamic_cast<AlsaAudioOutput*>(output.get());
        return output;
    }};
    ASSERT_TRUE(device.Open()) << device.LastError();
    ASSERT_NE(alsa, nullptr);
    CPlaybackStream* stream = device.CreateStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(alsa->IsRunning());

    // Silence streams while nothing plays, and the stopped cursor does not move.
    std::this_thread::sleep_for(200ms);
    uint32_t cursor = 1;
    ASSERT_TRUE(stream->Buffer()->GetCurrentPosition(&cursor));
    EXPECT_EQ(cursor, 0u);
    EXPECT_GT(alsa->FramesStreamed(), 0u);

    const size_t mark = recorder.Count();
    constexpr int FRAMES = 15;
    std::vector<int16_t> pcm(960);
    const auto start = Clock::now();
    for (int k = 0; k < FRAMES; ++k) {
        std::this_thread::sleep_until(start + k * 120ms);
        for (int i = 0; i < 960; ++i) {
            const double t = (k * 960 + i) / 8000.0;
            pcm[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * TONE_HZ * t));
        }
        ASSERT_TRUE(device.QueueFrame(stream, reinterpret_cast<uint8_t*>(pcm.data()), 1920));
        ASSERT_TRUE(device.PlayQueued(stream));
    }
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_GT(stream->BytesPlayed(), 0u); // the device moved the play cursor
    ASSERT_TRUE(stream->Buffer()->GetCurrentPosition(&cursor));
    EXPECT_GT(cursor, 0u);
    std::printf("ALSA period %lu frames, buffer %lu frames\n", alsa->DevicePeriodFrames(),
                alsa->DeviceBufferFrames());
    std::printf("lead checks reset the stream %u time(s); %u underrun(s)\n",
                stream->ResetCount() - 1, alsa->Underruns());

    std::this_thread::sleep_for(600ms);
    device.Close();
    std::this_thread::sleep_for(300ms);
    recorder.Stop();

    const std::vector<int16_t> heard = recorder.Samples();
    ASSERT_GT(heard.size(), mark + 8000);
    constexpr size_t WINDOW = 400; // 50 ms
    size_t toneWindows = 0;
    size_t firstTone = 0;
    for (size_t at = mark; at + WINDOW <= heard.size(); at += WINDOW) {
        double share = 0;
        double rms = 0;
        Measure(&heard[at], WINDOW, &share, &rms);
        if (share > 0.8 && rms > 1000) {
            if (toneWindows++ == 0) {
                firstTone = at;
            }
        }
    }
    // 1.8 s were played; allow for a restart of the stream and the edges.
    EXPECT_GE(toneWindows, 20u);
    if (toneWindows > 0) {
        std::printf("tone heard in %zu windows of 50 ms; first %.0f ms after the first frame\n",
                    toneWindows, (firstTone - mark) / 8.0);
    }
    // Before we played, our sink was silent.
    if (!m_module.empty()) {
        for (size_t at = 0; at + WINDOW <= mark; at += WINDOW) {
            double share = 0;
            double rms = 0;
            Measure(&heard[at], WINDOW, &share, &rms);
            EXPECT_LT(rms, 100) << "sound on the sink before playback, at " << at;
        }
    }
}

TEST_F(AlsaPlayback, ClosingWhileItPlaysReturnsAndReopens) {
    // Each open asks for 20 ms periods at its own rate: a wideband call reopens at 16 kHz,
    // and what the last open was granted must not become the next one's request.
    AlsaAudioOutput* alsa = nullptr;
    CPlaybackDevice device{[&alsa](std::string* error) {
        auto output = CreateAudioOutput("alsa:default", error);
        alsa = dynamic_cast<AlsaAudioOutput*>(output.get());
        return output;
    }};
    std::vector<uint8_t> frame(1920, 0x11);
    for (const int rate : {8000, 16000, 8000}) {
        device.SetSampleRate(rate);
        ASSERT_TRUE(device.Open()) << device.LastError();
        ASSERT_NE(alsa, nullptr);
        EXPECT_EQ(alsa->DevicePeriodFrames(), static_cast<unsigned long>(rate / 50)) << rate;
        EXPECT_EQ(alsa->DeviceBufferFrames(), 3 * alsa->DevicePeriodFrames()) << rate;
        CPlaybackStream* stream = device.CreateStream();
        ASSERT_NE(stream, nullptr);
        ASSERT_TRUE(device.QueueFrame(stream, frame.data(), 1920));
        ASSERT_TRUE(device.PlayQueued(stream));
        ASSERT_TRUE(device.QueueFrame(stream, frame.data(), 1920));
        ASSERT_TRUE(device.PlayQueued(stream));
        EXPECT_TRUE(stream->IsPlaying());
        device.Close();
    }
    device.Close();
}

} // namespace
