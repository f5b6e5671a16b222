// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the jitter buffer on a virtual clock: each way a line misbehaves, then long calls.
#include "CJitterBuffer.h"
#include "IVoiceDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <set>

namespace {

// A packet holds the sender's index of it; the decoder notes what it is asked for.
struct FakeDecoder : IVoiceDecoder {
    std::vector<int> decoded;
    std::set<int> rebuilt;
    static bool Quiet(int i) { return i % 8 == 7; } // a pause between syllables
    static int Index(const uint8_t* d) { return d[0] | d[1] << 8 | d[2] << 16; }
    static int Fill(int16_t* pcm, int level) { return std::fill_n(pcm, 320, level), 320; }
    int Decode(const uint8_t* d, int, int16_t* pcm) override {
        decoded.push_back(Index(d));
        return Fill(pcm, Quiet(Index(d)) ? 40 : 8000);
    }
    int DecodeFec(const uint8_t* d, int, int16_t* pcm) override {
        rebuilt.insert(Index(d) - 1);
        return Fill(pcm, 6000);
    }
    int Conceal(int16_t* pcm) override { return Fill(pcm, 3000); }
};

struct Link {
    uint16_t firstSeq = 0;
    int frames = 250;
    double senderRate = 1.0;       // its 20 ms last 20 * this of ours
    int gapAt = -1, gapFrames = 0; // before packet gapAt, frames counted in seq but not sent
    int wakeMs = 0;                // the device thread wakes up to this much early or late
    // The delays of packet i (none: lost; two: it comes twice): in `odd`, or `delays`, or 5 ms.
    std::function<std::vector<double>(int i, double sendMs)> delays = nullptr;
    std::map<int, std::vector<double>> odd{};
    int Frame(int i) const { return i + (gapAt >= 0 && i >= gapAt ? gapFrames : 0); }
};

// The mean and the largest of a figure taken after each pull, over the seconds [from, to).
std::pair<double, int> Over(const std::vector<int>& figure, size_t from, size_t to = 1 << 20) {
    const auto begin = figure.begin() + std::min(from * 50, figure.size());
    const auto end = figure.begin() + std::min(to * 50, figure.size());
    return {std::accumulate(begin, end, 0.0) / std::max<double>(end - begin, 1),
            begin == end ? 0 : *std::max_element(begin, end)};
}

// A call: a pull every 20 ms from 7 ms on, until the last packet plays or 0.4 s after it came.
struct Call {
    CJitterBuffer::Stats stats;
    FakeDecoder decoder;
    std::vector<double> dropMs, arrivedMs, playedMs; // the last two by packet
    std::vector<int> delayMs, targetMs;              // after each pull, 50 a second
    int loudSteps = 0; // frames dropped, or inserted after, that were not quiet
    explicit Call(const Link& link) : arrivedMs(link.frames, -1), playedMs(link.frames, -1) {
        std::vector<std::pair<double, int>> arrivals; // time, packet
        for (int i = 0; i < link.frames; ++i) {
            const double sent = link.Frame(i) * 20.0 * link.senderRate;
            for (double d : link.odd.count(i) ? link.odd.at(i)
                            : link.delays     ? link.delays(i, sent)
                                              : std::vector<double>{5})
                arrivals.emplace_back(sent + d, i);
        }
        std::sort(arrivals.begin(), arrivals.end());
        CJitterBuffer buffer(decoder);
        std::minstd_rand random(7);
        std::uniform_int_distribution<int> wake(-link.wakeMs, link.wakeMs);
        int16_t pcm[320];
        size_t next = 0;
        for (double tick = 7; playedMs.back() < 0 && tick < arrivals.back().first + 400;
             tick += 20) {
            const double now = tick + wake(random);
            for (; next < arrivals.size() && arrivals[next].first <= now; ++next) {
                const auto [ms, i] = arrivals[next];
                const uint8_t packet[3] = {uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16)};
                arrivedMs[i] = arrivedMs[i] < 0 ? ms : arrivedMs[i];
                buffer.Put(uint16_t(link.firstSeq + link.Frame(i)), packet, 3, std::llround(ms));
            }
            const size_t before = decoder.decoded.size();
            const uint64_t inserted = stats.inserted;
            const bool dropped = buffer.Pull(pcm, std::llround(now)).droppedToShrink;
            for (size_t k = before; k < decoder.decoded.size(); ++k)
                playedMs[decoder.decoded[k]] = now;
            stats = buffer.Snapshot();
            const bool afterLoud = before > 0 && !FakeDecoder::Quiet(decoder.decoded[before - 1]);
            loudSteps += (dropped && !FakeDecoder::Quiet(decoder.decoded[before])) ||
                         (stats.inserted > inserted && afterLoud);
            dropMs.insert(dropMs.end(), dropped ? 1 : 0, now);
            delayMs.push_back(stats.presentDelayMs);
            targetMs.push_back(stats.targetDelayMs);
        }
    }
};

} // namespace

TEST(CJitterBuffer, PlaysEveryFrameThatCameInTimeOnceInOrderAndCoversTheRest) {
    const struct {
        const char* name;
        Link link;
        std::set<int> fec; // packets whose frames are rebuilt from their successor
        uint64_t lossConcealed, late, duplicates;
    } rows[] = {
        {"in order", {}, {}, 0, 0, 0},
        {"reordered", {.odd = {{50, {30}}, {120, {35}}}}, {}, 0, 0, 0},
        {"twice: held, played", {.odd = {{30, {5, 8}}, {60, {5, 305}}}}, {}, 0, 0, 2},
        // The first comes after it was due; the second, as late, finds room made for it.
        {"late twice", {.odd = {{80, {105}}, {150, {105}}}}, {80}, 0, 1, 0},
        {"lost, successor there", {.odd = {{40, {}}, {100, {}}}}, {40, 100}, 0, 0, 0},
        {"lost, successor not yet there", {.odd = {{60, {}}, {61, {35}}}}, {}, 1, 0, 0},
        {"burst of three lost", {.odd = {{70, {}}, {71, {}}, {72, {}}}}, {72}, 2, 0, 0},
        {"seq wraps, 65535 lost", {.firstSeq = 65500, .odd = {{35, {}}}}, {35}, 0, 0, 0},
        // The end of the first spurt is concealed for a while, then it is silence.
        {"talk spurt after 6 s", {.gapAt = 100, .gapFrames = 300}, {}, 5, 0, 0},
        {"talk spurt after 1 s", {.gapAt = 100, .gapFrames = 50}, {}, 5, 0, 0},
        {"talk spurt after 15 min", {.gapAt = 100, .gapFrames = 45000}, {}, 5, 0, 0},
        {"sender 0.1 % fast", {.frames = 30000, .senderRate = 0.999, .wakeMs = 8}, {}, 0, 0, 0},
        {"sender 0.1 % slow", {.frames = 30000, .senderRate = 1.001, .wakeMs = 8}, {}, 0, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Call run(row.link);
        const std::vector<int>& order = run.decoder.decoded;
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), std::less_equal<>()));
        const auto lost = std::count(run.arrivedMs.begin(), run.arrivedMs.end(), -1);
        EXPECT_EQ(order.size(), row.link.frames - lost - run.stats.late);
        EXPECT_EQ(std::tuple(run.decoder.rebuilt, run.stats.concealed - run.stats.inserted,
                             run.stats.late, run.stats.duplicates),
                  std::tuple(row.fec, row.lossConcealed, row.late, row.duplicates));
        // A spurt starts one hold (to a frame more) after its first frame arrives.
        for (int first : {0, std::max(row.link.gapAt, 0)})
            EXPECT_NEAR(run.playedMs[first] - run.arrivedMs[first], CJitterBuffer::kHoldMs + 10,
                        11);
        if (row.link.senderRate != 1.0) {
            // A step per frame the clocks part by, each at a quiet frame; the delay stays.
            const double surplus = row.link.frames * (1 - row.link.senderRate);
            EXPECT_NEAR(double(run.stats.dropped) - double(run.stats.inserted), surplus, 2);
            EXPECT_NEAR(double(run.stats.dropped + run.stats.inserted), std::abs(surplus), 2);
            EXPECT_EQ(run.loudSteps, 0);
            EXPECT_LE(Over(run.delayMs, 590).first, Over(run.delayMs, 0, 10).first + 20);
        }
    }
}

TEST(CJitterBuffer, KeepsDelayLowAndLossCoveredOnLongCalls) {
    constexpr int kTenMinutes = 30000;
    std::mt19937 random(1234); // fixed, so that a failure repeats
    std::uniform_real_distribution<double> jitter(0, 60);
    // 10 min of 60 ms jitter, then none; sound cards 0.1 % apart; one 5 s pause. The delay does
    // not grow, and is back 10 s after the jitter, one step per 0.5 s.
    const auto jittered = [&](int, double sendMs) {
        return std::vector<double>{5 + (sendMs < 600000 ? jitter(random) : 0)};
    };
    const Call jittery({.frames = 33000,
                        .senderRate = 1.001,
                        .gapAt = 15000,
                        .gapFrames = 250,
                        .delays = jittered});
    EXPECT_LE(jittery.stats.concealed + jittery.stats.late, kTenMinutes / 100U);
    EXPECT_LE(std::max(Over(jittery.delayMs, 0).second, Over(jittery.targetMs, 0).second), 250);
    EXPECT_LE(Over(jittery.delayMs, 540, 600).first, Over(jittery.delayMs, 60, 120).first + 20);
    EXPECT_LE(Over(jittery.delayMs, 611).second, 40 + 20); // 40: a steady line's, below
    ASSERT_GE(jittery.dropMs.size(), 2U);
    for (size_t k = 1; k < jittery.dropMs.size(); ++k)
        EXPECT_GE(jittery.dropMs[k] - jittery.dropMs[k - 1], CJitterBuffer::kMinStepIntervalMs - 9);

    // 10 % loss on a steady line: no step; a lost frame is rebuilt unless its successor is lost.
    std::bernoulli_distribution loss(0.10);
    std::vector<bool> lost(kTenMinutes + 1);
    const auto lossy10 = [&](int i, double) {
        lost[i] = i + 1 < kTenMinutes && loss(random);
        return std::vector<double>(lost[i] ? 0 : 1, 5);
    };
    const Call lossy({.frames = kTenMinutes, .delays = lossy10});
    EXPECT_LE(Over(lossy.delayMs, 0).second, 40);
    EXPECT_EQ(lossy.stats.dropped + lossy.stats.inserted + lossy.stats.late, 0U);
    uint64_t alone = 0, paired = 0;
    for (int i = 0; i < kTenMinutes; ++i)
        (lost[i + 1] ? paired : alone) += lost[i];
    EXPECT_EQ(lossy.stats.fec, alone);
    EXPECT_LE(lossy.stats.concealed, paired);
}
