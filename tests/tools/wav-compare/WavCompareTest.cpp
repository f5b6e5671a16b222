// SPDX-License-Identifier: GPL-3.0-or-later
// wav-compare on generated speech-like signals: bandwidth, dropouts, delay across rates, drift.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kLoop = 10; // seconds of SAID

// Syllables on a 20 ms grid with 10 ms ramps and digital silence between them; voiced
// ones carry partials from 100 Hz to 7.9 kHz falling with frequency, every fourth is a
// fricative (4.5 to 7.9 kHz only). A function of time: heard at any rate, late, drifting.
struct Syllable {
    double start, length, gain;
    std::vector<double> freq, phase;
};

std::vector<Syllable> MakeSpeech() {
    std::vector<Syllable> speech;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (int at = 10; at < 480; at += 3 + static_cast<int>(u(rng) * 8)) { // in 20 ms frames
        const int frames = 6 + static_cast<int>(u(rng) * 8);
        Syllable s{at * 0.02, frames * 0.02, 0.5 + u(rng), {}, {}};
        for (double f = speech.size() % 4 == 3 ? 4500 : 100; f < 7800; f += 200) {
            s.freq.push_back(f + u(rng) * 200);
            s.phase.push_back(u(rng) * 2 * M_PI);
        }
        speech.push_back(s);
        at += frames;
    }
    return speech;
}

// The looped speech at `t` seconds, of its partials below `maxHz`; null when silent.
const Syllable* Sound(const std::vector<Syllable>& speech, double t, double maxHz, double& v) {
    t = std::fmod(std::fmod(t, kLoop) + kLoop, kLoop);
    v = 0;
    for (const Syllable& s : speech) {
        if (t < s.start || t >= s.start + s.length)
            continue;
        const double in = t - s.start, edge = std::min({1.0, in / 0.01, (s.length - in) / 0.01});
        for (size_t i = 0; i < s.freq.size(); ++i)
            if (s.freq[i] < maxHz)
                v += std::sin(2 * M_PI * s.freq[i] * in + s.phase[i]) / (1 + s.freq[i] / 1500);
        v *= 0.03 * s.gain * (0.5 - 0.5 * std::cos(M_PI * edge));
        return &s;
    }
    return nullptr;
}

bool Write(const QString& path, int rate, size_t n, const std::function<double(size_t)>& sample) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = sample(i);
    SF_INFO info{0, rate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* f = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    return f && sf_write_double(f, x.data(), static_cast<sf_count_t>(n)) == static_cast<sf_count_t>(n) &&
           sf_close(f) == 0;
}

// wav-compare's report, key by key; empty when it failed.
std::map<std::string, double> Compare(const QString& said, const QString& heard) {
    QProcess p;
    p.start(QDir(QCoreApplication::applicationDirPath()).filePath("wav-compare"),
            {said, heard, "--said-start", "0", "--heard-start", "1500000000"});
    std::map<std::string, double> out;
    if (p.waitForFinished(30000) && p.exitCode() == 0)
        for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
            if (const auto colon = line.indexOf(": "); colon > 0)
                out[line.left(colon).toStdString()] = line.mid(colon + 2).toDouble();
    return out;
}

} // namespace

TEST(WavCompareTest, BandwidthDropoutsAndDelayOfKnownPaths) {
    struct Case {
        const char* name;
        int rate;
        double maxHz, late, clock, seconds;
        size_t lostEvery; // every Nth speech frame of HEARD silenced
        double minBandwidth, maxBandwidth, dropouts;
    } const cases[] = {
        {"identical", 16000, 1e9, 0, 1, 10, 0, 7500, 8000, 0},
        {"narrowband at 16 kHz", 16000, 4000, 0, 1, 10, 0, 0, 4200, 0},
        {"a tenth of the speech lost", 16000, 1e9, 0, 1, 10, 10, 7500, 8000, 10},
        {"8 kHz, heard late", 8000, 3900, 0.2345, 1, 3, 0, 0, 4000, 0},
        {"clock 0.1 % fast for a minute", 16000, 1e9, 0, 1.001, 60, 0, 7500, 8000, 0},
    };
    const std::vector<Syllable> speech = MakeSpeech();
    QTemporaryDir dir;
    const QString said = dir.filePath("said.wav");
    double v = 0;
    ASSERT_TRUE(Write(said, 16000, static_cast<size_t>(kLoop * 16000), [&](size_t i) {
        Sound(speech, static_cast<double>(i) / 16000, 1e9, v);
        return v;
    }));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString heard = dir.filePath(QString("heard-%1.wav").arg(&c - cases));
        size_t speechFrames = 0;
        ASSERT_TRUE(Write(heard, c.rate, static_cast<size_t>(c.seconds * c.rate), [&](size_t i) {
            const bool speaks = Sound(speech, static_cast<double>(i) / c.rate * c.clock - c.late, c.maxHz, v);
            speechFrames += speaks && i % static_cast<size_t>(c.rate / 50) == 0;
            return speaks && c.lostEvery && speechFrames % c.lostEvery == 0 ? 0.0 : v;
        }));
        auto r = Compare(said, heard);
        ASSERT_TRUE(r.count("speech_frames")) << "no result";
        EXPECT_GE(r["bandwidth_hz"], c.minBandwidth);
        EXPECT_LE(r["bandwidth_hz"], c.maxBandwidth);
        EXPECT_NEAR(r["dropouts"], c.dropouts, c.lostEvery ? 1.5 : 0.5);
        EXPECT_GT(r["speech_frames"], c.seconds * 50 * 0.3);
        if (c.clock == 1) { // HEARD's start is 1.5 s after SAID's, its sound `late` more
            EXPECT_NEAR(r["delay_ms"], 1500 + c.late * 1000, 1);
        }
    }
}
