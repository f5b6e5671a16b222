// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the call figures: report bytes, packet sequences on a virtual clock, the rating.
#include "CCallRating.h"
#include "CCallReport.h"
#include "CCallStatistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

namespace {

using Stats = CCallStatistics;
using Bytes = std::vector<uint8_t>;

// Bytes from hex digits; spaces part the fields.
Bytes Hex(std::string hex) {
    std::erase(hex, ' ');
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::map<std::string, std::string> Keys(const std::string& record) {
    std::map<std::string, std::string> keys;
    std::istringstream in(record);
    for (std::string pair; std::getline(in, pair, '&');)
        keys[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
    return keys;
}

TEST(CallReport, BytesAndSaturation) {
    const Bytes wire =
        Hex("01020304 0a0b0c0d 3412 00010000 feffffff 3f00 a000 07000000 00000001 80000000");
    CCallReport r{0x04030201, 0x0d0c0b0a, 0x1234, 0x100, 0xfffffffe, 63, 160, 7, 0x01000000, 0x80};
    const auto built = r.Build();
    EXPECT_EQ(Bytes(built.begin(), built.end()), wire);
    CCallReport back;
    ASSERT_TRUE(CCallReport::Parse(wire.data(), int(wire.size()), &back));
    EXPECT_EQ(back.Build(), built);  // Build is right, so Parse is when the two agree
    for (int length : {0, 33, 35}) { // other lengths leave the report as it was
        EXPECT_FALSE(CCallReport::Parse(Bytes(36, 0x5a).data(), length, &back));
        EXPECT_EQ(back.Build(), built) << length;
    }
    // 16-bit fields from wider figures: held and buffer in ms, jitter in 0.1 ms.
    const struct {
        int64_t ms;
        double jitterMs;
        uint16_t held, jitter;
    } rows[] = {
        {65535, 6553.5, 65535, 65535}, {65536, 1e12, 65535, 65535}, {-1, -2, 0, 0},
        {1000, 1.26, 1000, 13},        {0, std::nan(""), 0, 0},
    };
    for (const auto& row : rows) {
        r.SetHeldMs(row.ms);
        r.SetBufferMs(row.ms);
        r.SetJitterMs(row.jitterMs);
        EXPECT_EQ(r.tHeldMs, row.held) << row.ms;
        EXPECT_EQ(r.bufferMs, row.held) << row.ms;
        EXPECT_EQ(r.jitter, row.jitter) << row.jitterMs;
    }
}

// Sealed packets from the far end, one slot each 20 ms; -1 is a slot where nothing came.
TEST(CallStatistics, SealedCountersIn) {
    constexpr uint64_t kWrap = uint64_t{1} << 32;
    constexpr double kFar = 100.0 * 1099 / 1101; // counter 5 is too old to tell
    std::vector<int64_t> lossyHalf;              // 20 s; from 10 s on, every tenth packet lost
    for (int64_t c = 0; c <= 1000; ++c)
        lossyHalf.push_back(c > 500 && c % 10 == 5 ? -1 : c);
    const struct {
        const char* name;
        uint64_t base;
        std::vector<int64_t> slots;
        double loss, loss10s;
        uint32_t highest, received;
    } rows[] = {
        {"in order", 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0, 0, 9, 10},
        {"two lost", 7, {0, 1, 2, -1, 4, 5, 6, -1, 8, 9}, 20, 20, 16, 8},
        {"reordered", 0, {0, 2, 1, 4, 3, 5}, 0, 0, 5, 6},
        {"duplicates", 0, {0, 1, 1, 2, 0, 2, 3}, 0, 0, 3, 4},
        {"first came late", 0, {1, 2, 0, -1, 4}, 20, 20, 4, 4},
        {"low 32 bits wrap", kWrap - 2, {0, 1, -1, 3, 4, 5}, 100.0 / 6, 100.0 / 6, 3, 5},
        {"beyond the duplicate window", 0, {0, 1100, 5}, kFar, kFar, 1100, 2},
        {"10 s window", 0, lossyHalf, 100.0 * 50 / 1001, 10, 1000, 951},
    };
    for (const auto& row : rows) {
        Stats s;
        s.Start(Stats::Voice::Wideband, Stats::Channel::SealedWithReports, 0);
        int64_t arrived = 0;
        for (size_t i = 0; i < row.slots.size(); ++i) {
            if (row.slots[i] < 0)
                continue;
            s.OnSealedOpened(row.base + uint64_t(row.slots[i]), 100, int64_t(i) * 20);
            ++arrived;
        }
        const Stats::Figures f = s.Snapshot();
        EXPECT_NEAR(f.in.lossPct.value_or(-1), row.loss, 1e-9) << row.name;
        EXPECT_NEAR(f.in.loss10sPct.value_or(-1), row.loss10s, 1e-9) << row.name;
        EXPECT_EQ(f.in.bytes, uint64_t(arrived) * 100) << row.name;
        const CCallReport r = s.SealReport(int64_t(row.slots.size()) * 20);
        EXPECT_EQ(r.highest, row.highest) << row.name;
        EXPECT_EQ(r.received, row.received) << row.name;
    }
}

// The far end's reports in turn: round trip, loss of our direction, the encoder's loss.
TEST(CallStatistics, FarEndReports) {
    const struct {
        int64_t now;
        uint32_t tSend, tEcho;
        uint16_t held;
        uint32_t received, highest;
        std::optional<int64_t> rtt;
        std::optional<double> loss, loss10s;
        int encoder;
    } steps[] = {
        {3100, 50000, 0, 0, 0xffffffa0, 0xffffffb0, {}, {}, {}, 10},
        {5150, 52000, 5000, 110, 0x00000000, 0x14, 40, 4, 4, 4}, // both counts wrap
        {7150, 54000, 7000, 120, 0x63, 0x78, 30, 2.5, 2.5, 4},
        {7200, 52000, 5000, 110, 0x00000000, 0x14, 30, 2.5, 2.5, 4}, // a late repeat
        // Held saturated, so the echo of 70 s ago gives no round trip.
        {18000, 56000, 0xffff34e0, 65535, 0xc7, 0xdc, 30, 100.0 * 5 / 300, 0, 2},
        {20000, 58000, 19950, 10, 0xf9, 0x140, 40, 13.75, 25, 30},
        {22000, 60000, 21950, 10, 0x15d, 0x1a4, 40, 11, 100.0 * 50 / 300, 30},
    };
    Stats s;
    s.Start(Stats::Voice::Wideband, Stats::Channel::SealedWithReports, 1000);
    for (const auto& step : steps) {
        s.OnReportReceived({step.tSend, step.tEcho, step.held, step.received, step.highest, 52, 60},
                           step.now);
        const Stats::Figures f = s.Snapshot();
        EXPECT_EQ(f.rttMs, step.rtt) << step.now;
        EXPECT_NEAR(f.out.lossPct.value_or(-1), step.loss.value_or(-1), 1e-9) << step.now;
        EXPECT_NEAR(f.out.loss10sPct.value_or(-1), step.loss10s.value_or(-1), 1e-9) << step.now;
        EXPECT_EQ(s.EncoderExpectedLossPct(), step.encoder) << step.now;
    }
    const CCallReport ours = s.SealReport(30500);
    EXPECT_EQ(ours.tSendMs, 30500u);
    EXPECT_EQ(ours.tEchoMs, 60000u);
    EXPECT_EQ(ours.tHeldMs, 8500);
    EXPECT_EQ(s.EncoderExpectedLossPct(), 2); // the 50 % has left the last 10 s
    EXPECT_EQ(s.SummaryLine(),
              "call: 0m29s rtt 40 ms loss in - % out 11.0 % jitter - ms concealed - % rating -");
    const auto keys = Keys(s.Record());
    EXPECT_EQ(keys.at("jitter_out_ms"), "5.2");
    EXPECT_EQ(keys.at("buffer_out_ms"), "60");
}

// A stated narrowband call: no counters, no reports, jitter from the 120 ms grid.
TEST(CallStatistics, StatedCall) {
    Stats s;
    s.Start(Stats::Voice::Narrowband, Stats::Channel::Plain, 0);
    // 16 ms late, then back on the grid, then a pause of ten frames.
    for (int64_t at : {0, 120, 256, 360, 1560, 1680}) {
        s.OnPlainReceived(200, at);
        s.OnNarrowbandVoice(195, at);
        s.OnVoiceSent(195, at);
        s.OnPacketSent(210, at);
    }
    s.OnBufferFigures({120, 1, 0, 0}, 1680);
    const double jitter = (1.0 + 15.0 / 16) * (15.0 / 16) * (15.0 / 16);
    const Stats::Figures f = s.Snapshot();
    EXPECT_DOUBLE_EQ(f.in.jitterMs.value_or(-1), jitter);
    EXPECT_NEAR(f.in.bitrateKbps, 6 * 195 * 8 / 1680.0, 1e-9);
    EXPECT_EQ(f.in.frames, 7u);                                    // six arrived, one concealed
    const CCallRating rating({100.0 / 7, 0, jitter, 120, 0, 120}); // concealed share for loss
    EXPECT_NEAR(f.in.rating.value_or(-1), rating.Score(), 1e-9);
    EXPECT_FALSE(f.rttMs || f.out.lossPct || f.out.jitterMs || f.out.bufferMs || f.out.concealed ||
                 f.out.rating || f.encoderLossPct || f.in.lossPct);

    const std::map<std::string, std::string> expected = {
        {"duration_s", "1"},     {"voice", "narrowband"}, {"encrypted", "no"},
        {"bytes_in", "1200"},    {"bytes_out", "1260"},   {"bitrate_in_kbps", "5.6"},
        {"rtt_ms", "-"},         {"loss_in_pct", "-"},    {"loss_out_10s_pct", "-"},
        {"jitter_in_ms", "1.7"}, {"frames_out", "6"},     {"concealed_in_pct", "14.29"},
        {"late_in", "0"},        {"late_out", "-"},       {"encoder_loss_pct", "-"},
        {"rating", "1.6"},       {"rating_out", "-"}};
    const auto keys = Keys(s.Record());
    for (const auto& [key, value] : expected)
        EXPECT_EQ(keys.count(key) ? keys.at(key) : "missing", value) << key;

    s.End(185500);
    s.OnNarrowbandVoice(195, 186000); // after the end: not counted
    EXPECT_EQ(s.SummaryLine(),
              "call: 3m05s rtt - ms loss in - % out - % jitter 2 ms concealed 14.3 % rating 1.6");
}

// The rating's formula, worked by hand from the comment in CCallRating.h.
TEST(CallRating, Formula) {
    const struct {
        const char* name;
        CCallRating::Path path; // loss, late, jitter, buffer, network one way, frame
        double mouthToEar, score;
    } rows[] = {
        {"clean LAN", {0, 0, 1, 40, 0.5, 20}, 90.5, 4.3634},
        {"5 % loss", {5, 0, 1, 40, 0.5, 20}, 90.5, 3.4669},
        {"late counts as lost", {3, 2, 1, 40, 0.5, 20}, 90.5, 3.4669},
        {"300 ms each way", {0, 0, 0, 40, 300, 20}, 390, 3.1229},
        {"jitter above the buffer", {0, 0, 30, 10, 0, 20}, 110, 4.3525},
        {"narrowband", {0, 0, 0, 120, 0.5, 120}, 270.5, 3.8833},
        {"hopeless", {0, 0, 0, 400, 600, 20}, 1050, 1},
        {"negatives count as none", {-3, -1, -5, -10, -20, 20}, 50, 4.3849},
    };
    for (const auto& row : rows) {
        const CCallRating rating(row.path);
        EXPECT_NEAR(rating.MouthToEarMs(), row.mouthToEar, 1e-9) << row.name;
        EXPECT_NEAR(rating.Score(), row.score, 5e-5) << row.name;
    }
}

} // namespace
