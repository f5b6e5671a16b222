// SPDX-License-Identifier: GPL-3.0-or-later
// CCallStatistics: the figures of one call, each direction, from what the call sees.
#include "CCallStatistics.h"

#include "CCallRating.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

// A report echoing a t_send further back than this is not one of this call's.
constexpr int32_t kMaxRttMs = 60000;
constexpr int kReportHeldMax = 0xFFFF;
constexpr int kEncoderLossUnknownPct = 10;
constexpr int kEncoderLossMinPct = 2;
constexpr int kEncoderLossMaxPct = 30;

// Decimal text with '.' whatever the locale, so records read the same everywhere.
std::string Fixed(double value, int decimals) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("-");
}

std::string Text(const std::optional<double>& v, int decimals) {
    return v ? Fixed(*v, decimals) : "-";
}

template <typename T> std::string Whole(const std::optional<T>& v) {
    return v ? std::to_string(*v) : "-";
}

std::optional<double> Share(const std::optional<uint64_t>& count,
                            const std::optional<uint64_t>& of) {
    if (!count || !of || *of == 0)
        return std::nullopt;
    return 100.0 * static_cast<double>(*count) / static_cast<double>(*of);
}

// The count a report's low 32 bits stand for, given the previous report's full count:
// reports come every 2 s, far less than 2^31 packets apart.
int64_t Unwrap(int64_t previous, uint32_t low) {
    return previous + static_cast<int32_t>(low - static_cast<uint32_t>(previous));
}

} // namespace

void CCallStatistics::Start(Voice voice, Channel channel, int64_t nowMs) {
    *this = CCallStatistics();
    m_running = true;
    m_voice = voice;
    m_channel = channel;
    m_startMs = m_nowMs = nowMs;
    m_inTallies.push_back({nowMs, 0, 0});
}

void CCallStatistics::End(int64_t nowMs) {
    if (Accept(nowMs))
        m_running = false;
}

bool CCallStatistics::Accept(int64_t nowMs) {
    if (!m_running)
        return false;
    m_nowMs = std::max(m_nowMs, nowMs);
    return true;
}

void CCallStatistics::OnPlainReceived(int wireBytes, int64_t nowMs) {
    if (Accept(nowMs))
        m_bytesIn += static_cast<uint64_t>(std::max(wireBytes, 0));
}

void CCallStatistics::OnPacketSent(int wireBytes, int64_t nowMs) {
    if (Accept(nowMs))
        m_bytesOut += static_cast<uint64_t>(std::max(wireBytes, 0));
}

void CCallStatistics::OnSealedOpened(uint64_t counter, int wireBytes, int64_t nowMs) {
    if (!Accept(nowMs))
        return;
    m_bytesIn += static_cast<uint64_t>(std::max(wireBytes, 0));
    if (!m_anyCounter) {
        m_anyCounter = true;
        m_firstCounter = m_highestCounter = counter;
        m_receivedCounters = 1;
    } else if (counter > m_highestCounter) {
        const uint64_t by = counter - m_highestCounter;
        if (by >= kDuplicateWindow)
            m_seen.reset();
        else
            m_seen <<= by;
        if (by <= kDuplicateWindow)
            m_seen.set(by - 1);
        m_highestCounter = counter;
        ++m_receivedCounters;
    } else {
        const uint64_t below = m_highestCounter - counter;
        if (below == 0 || below > kDuplicateWindow || m_seen.test(below - 1))
            return;
        m_seen.set(below - 1);
        m_firstCounter = std::min(m_firstCounter, counter);
        ++m_receivedCounters;
    }
    // One tally a second is enough for a 10 s window; keep the newest at least 10 s old.
    if (nowMs - m_inTallies.back().atMs >= 1000)
        m_inTallies.push_back(InTally());
    while (m_inTallies.size() > 1 && m_inTallies[1].atMs <= m_nowMs - kLossWindowMs)
        m_inTallies.pop_front();
}

CCallStatistics::Tally CCallStatistics::InTally() const {
    if (!m_anyCounter)
        return {m_nowMs, 0, 0};
    return {m_nowMs, static_cast<int64_t>(m_highestCounter - m_firstCounter + 1),
            static_cast<int64_t>(m_receivedCounters)};
}

void CCallStatistics::Jitter(double transitMs) {
    if (m_lastTransitMs) {
        const double d = std::fabs(transitMs - *m_lastTransitMs);
        m_jitterMs += (d - m_jitterMs) / 16;
        m_jitterKnown = true;
    }
    m_lastTransitMs = transitMs;
}

bool CCallStatistics::Arrived(int payloadBytes, int64_t nowMs) {
    if (!Accept(nowMs))
        return false;
    ++m_framesArrived;
    m_voiceIn.push_back({nowMs, std::max(payloadBytes, 0)});
    while (m_voiceIn.front().atMs <= m_nowMs - kBitrateWindowMs)
        m_voiceIn.pop_front();
    return true;
}

void CCallStatistics::OnWidebandVoice(uint16_t seq, int payloadBytes, int64_t nowMs) {
    if (!Arrived(payloadBytes, nowMs))
        return;
    // The 16-bit seq taken as the nearest to the highest so far: frames reordered by less
    // than 2^15 (over 10 minutes) keep their place.
    int64_t frame = seq;
    if (m_anySeq)
        frame = m_highestSeq + static_cast<int16_t>(seq - static_cast<uint16_t>(m_highestSeq));
    if (!m_anySeq || frame > m_highestSeq)
        m_highestSeq = frame;
    if (!m_anySeq || frame < m_firstSeq)
        m_firstSeq = frame;
    m_anySeq = true;
    // RFC 3550's transit time with the sender's timestamp in ms; its unknown offset cancels
    // in the difference.
    Jitter(static_cast<double>(nowMs) - static_cast<double>(frame * kWidebandFrameMs));
}

void CCallStatistics::OnNarrowbandVoice(int payloadBytes, int64_t nowMs) {
    if (!Arrived(payloadBytes, nowMs))
        return;
    if (m_lastArrivalMs) {
        const int64_t spacing = nowMs - *m_lastArrivalMs;
        const int64_t frames =
            std::max<int64_t>(1, (spacing + kNarrowbandFrameMs / 2) / kNarrowbandFrameMs);
        const double d = static_cast<double>(spacing - frames * kNarrowbandFrameMs);
        // As if the sender's timestamps were the previous frame's plus n frames.
        Jitter(m_lastTransitMs.value_or(0) + d);
    } else {
        Jitter(0);
    }
    m_lastArrivalMs = nowMs;
}

void CCallStatistics::OnVoiceSent(int payloadBytes, int64_t nowMs, int frames) {
    if (!Accept(nowMs))
        return;
    m_framesSent += static_cast<uint64_t>(std::max(frames, 0));
    m_voiceOut.push_back({nowMs, std::max(payloadBytes, 0)});
    while (m_voiceOut.front().atMs <= m_nowMs - kBitrateWindowMs)
        m_voiceOut.pop_front();
}

void CCallStatistics::OnBufferFigures(const BufferFigures& figures, int64_t nowMs) {
    if (Accept(nowMs))
        m_buffer = figures;
}

void CCallStatistics::OnReportReceived(const CCallReport& report, int64_t nowMs) {
    if (!Accept(nowMs))
        return;
    if (m_lastReport && static_cast<int32_t>(report.tSendMs - m_lastReport->tSendMs) <= 0)
        return;
    // Our own clock on both ends of the sum, taken modulo 2^32 as t_send was.
    if (report.tEchoMs != 0 && report.tHeldMs != kReportHeldMax) {
        const auto rtt =
            static_cast<int32_t>(static_cast<uint32_t>(nowMs) - report.tEchoMs - report.tHeldMs);
        if (rtt >= 0 && rtt <= kMaxRttMs)
            m_rttMs = rtt;
    }
    Tally tally{nowMs, int64_t{report.highest} + 1, int64_t{report.received}};
    if (!m_outTallies.empty()) {
        const Tally& last = m_outTallies.back();
        tally.expected = Unwrap(last.expected, report.highest + 1);
        tally.received = Unwrap(last.received, report.received);
        if (const auto loss = LossPct(last, tally)) {
            m_intervalLosses.push_back({nowMs, *loss});
            while (m_intervalLosses.size() > 1 &&
                   m_intervalLosses.front().atMs <= nowMs - kLossWindowMs)
                m_intervalLosses.pop_front();
        }
    }
    if (!m_firstOut)
        m_firstOut = tally;
    m_outTallies.push_back(tally);
    while (m_outTallies.size() > 1 && m_outTallies[1].atMs <= m_nowMs - kLossWindowMs)
        m_outTallies.pop_front();
    m_lastReport = report;
    m_lastReportAtMs = nowMs;
}

CCallReport CCallStatistics::SealReport(int64_t nowMs) {
    Accept(nowMs);
    CCallReport r;
    // t_echo 0 means "none yet", so a clock whose low 32 bits are 0 says 1 ms later.
    r.tSendMs = std::max<uint32_t>(static_cast<uint32_t>(nowMs), 1);
    if (m_lastReport) {
        r.tEchoMs = m_lastReport->tSendMs;
        r.SetHeldMs(nowMs - m_lastReportAtMs);
    }
    r.received = static_cast<uint32_t>(m_receivedCounters);
    r.highest = static_cast<uint32_t>(m_highestCounter);
    if (m_jitterKnown)
        r.SetJitterMs(m_jitterMs);
    if (m_buffer) {
        r.SetBufferMs(m_buffer->delayMs);
        r.concealed = static_cast<uint32_t>(m_buffer->concealed);
        r.recovered = static_cast<uint32_t>(m_buffer->recovered);
        r.late = static_cast<uint32_t>(m_buffer->late);
    }
    return r;
}

std::optional<double> CCallStatistics::LossPct(const Tally& from, const Tally& to) const {
    const int64_t expected = to.expected - from.expected;
    if (expected <= 0)
        return std::nullopt;
    // Late duplicates counted by the far end, or reordering across the window's edge,
    // can make more arrive than was expected: that is no loss, not a gain.
    // Lost over expected, so that a whole figure such as 13.75 stays exact for the text.
    const double lost = static_cast<double>(expected - (to.received - from.received));
    return std::clamp(100.0 * lost / static_cast<double>(expected), 0.0, 100.0);
}

const CCallStatistics::Tally& CCallStatistics::Base(const std::deque<Tally>& tallies) const {
    // The newest tally at least a window old; while the call is younger, the oldest.
    auto base = tallies.begin();
    for (auto it = tallies.begin(); it != tallies.end() && it->atMs <= m_nowMs - kLossWindowMs;
         ++it)
        base = it;
    return *base;
}

double CCallStatistics::BitrateKbps(const std::deque<Payload>& frames) const {
    const int64_t span = std::min(kBitrateWindowMs, m_nowMs - m_startMs);
    if (span <= 0)
        return 0;
    int64_t bytes = 0;
    for (const Payload& p : frames)
        if (p.atMs > m_nowMs - kBitrateWindowMs)
            bytes += p.bytes;
    return static_cast<double>(bytes * 8) / static_cast<double>(span); // bits per ms = kbit/s
}

int CCallStatistics::FrameMs() const {
    return m_voice == Voice::Wideband ? kWidebandFrameMs : kNarrowbandFrameMs;
}

int CCallStatistics::EncoderExpectedLossPct() const {
    if (m_intervalLosses.empty())
        return kEncoderLossUnknownPct;
    double highest = m_intervalLosses.back().pct;
    for (const IntervalLoss& l : m_intervalLosses)
        if (l.atMs > m_nowMs - kLossWindowMs)
            highest = std::max(highest, l.pct);
    return std::clamp(static_cast<int>(std::lround(highest)), kEncoderLossMinPct,
                      kEncoderLossMaxPct);
}

CCallStatistics::Figures CCallStatistics::Snapshot() const {
    Figures f;
    f.durationMs = m_nowMs - m_startMs;
    f.voice = m_voice;
    f.channel = m_channel;
    f.rttMs = m_rttMs;
    if (m_voice == Voice::Wideband)
        f.encoderLossPct = EncoderExpectedLossPct();

    Direction& in = f.in;
    in.bytes = m_bytesIn;
    in.bitrateKbps = BitrateKbps(m_voiceIn);
    if (m_anyCounter) {
        const Tally now = InTally();
        in.lossPct = LossPct({m_startMs, 0, 0}, now);
        in.loss10sPct = LossPct(Base(m_inTallies), now);
    }
    if (m_jitterKnown)
        in.jitterMs = m_jitterMs;
    if (m_voice == Voice::Wideband && m_anySeq)
        in.frames = static_cast<uint64_t>(m_highestSeq - m_firstSeq + 1);
    if (m_buffer) {
        in.bufferMs = m_buffer->delayMs;
        in.concealed = m_buffer->concealed;
        in.recovered = m_buffer->recovered;
        in.late = m_buffer->late;
        if (m_voice == Voice::Narrowband)
            in.frames = m_framesArrived + m_buffer->concealed;
    }

    Direction& out = f.out;
    out.bytes = m_bytesOut;
    out.bitrateKbps = BitrateKbps(m_voiceOut);
    out.frames = m_framesSent;
    if (m_lastReport) {
        out.lossPct = LossPct(*m_firstOut, m_outTallies.back());
        out.loss10sPct = LossPct(Base(m_outTallies), m_outTallies.back());
        out.jitterMs = m_lastReport->JitterMs();
        out.bufferMs = m_lastReport->bufferMs;
        out.concealed = m_lastReport->concealed;
        out.recovered = m_lastReport->recovered;
        out.late = m_lastReport->late;
    }
    for (Direction* d : {&in, &out}) {
        d->concealedPct = Share(d->concealed, d->frames);
        d->recoveredPct = Share(d->recovered, d->frames);
        d->latePct = Share(d->late, d->frames);
    }
    RateDirections(&f);
    return f;
}

void CCallStatistics::RateDirections(Figures* f) const {
    const double oneWay = f->rttMs ? static_cast<double>(*f->rttMs) / 2 : 0.0;
    for (Direction* d : {&f->in, &f->out}) {
        // Without sealed counters only the frames the buffer had to fill show the loss.
        const std::optional<double> loss =
            f->channel == Channel::Plain ? d->concealedPct : d->lossPct;
        if (!loss)
            continue;
        CCallRating::Path path;
        path.lossPct = *loss;
        path.latePct = d->latePct.value_or(0);
        path.jitterMs = d->jitterMs.value_or(0);
        path.bufferMs = d->bufferMs.value_or(0);
        path.networkOneWayMs = oneWay;
        path.frameMs = FrameMs();
        d->rating = CCallRating(path).Score();
    }
}

std::string CCallStatistics::Record() const {
    const Figures f = Snapshot();
    std::string line;
    const auto add = [&line](const std::string& key, const std::string& value) {
        if (!line.empty())
            line += '&';
        line += key;
        line += '=';
        line += value;
    };
    const bool sealed = f.channel != Channel::Plain;
    add("duration_s", std::to_string(f.durationMs / 1000));
    add("voice", f.voice == Voice::Wideband ? "wideband" : "narrowband");
    add("encrypted", sealed ? "yes" : "no");
    add("reports", f.channel == Channel::SealedWithReports ? "yes" : "no");
    add("bytes_in", std::to_string(f.in.bytes));
    add("bytes_out", std::to_string(f.out.bytes));
    add("bitrate_in_kbps", Fixed(f.in.bitrateKbps, 1));
    add("bitrate_out_kbps", Fixed(f.out.bitrateKbps, 1));
    add("rtt_ms", Whole(f.rttMs));
    add("loss_in_pct", Text(f.in.lossPct, 2));
    add("loss_in_10s_pct", Text(f.in.loss10sPct, 2));
    add("loss_out_pct", Text(f.out.lossPct, 2));
    add("loss_out_10s_pct", Text(f.out.loss10sPct, 2));
    add("jitter_in_ms", Text(f.in.jitterMs, 1));
    add("jitter_out_ms", Text(f.out.jitterMs, 1));
    add("buffer_in_ms", Whole(f.in.bufferMs));
    add("buffer_out_ms", Whole(f.out.bufferMs));
    add("frames_in", Whole(f.in.frames));
    add("frames_out", Whole(f.out.frames));
    for (const auto& [name, d] : {std::pair{"in", &f.in}, std::pair{"out", &f.out}}) {
        const std::string n(name);
        add("concealed_" + n, Whole(d->concealed));
        add("concealed_" + n + "_pct", Text(d->concealedPct, 2));
        add("recovered_" + n, Whole(d->recovered));
        add("recovered_" + n + "_pct", Text(d->recoveredPct, 2));
        add("late_" + n, Whole(d->late));
        add("late_" + n + "_pct", Text(d->latePct, 2));
    }
    add("encoder_loss_pct", Whole(f.encoderLossPct));
    add("rating", Text(f.in.rating, 1));
    add("rating_out", Text(f.out.rating, 1));
    return line;
}

std::string CCallStatistics::SummaryLine() const {
    const Figures f = Snapshot();
    const int64_t seconds = f.durationMs / 1000;
    const std::string ss = std::to_string(seconds % 60);
    const auto rounded = [](const std::optional<double>& v) {
        return v ? std::to_string(std::llround(*v)) : std::string("-");
    };
    return "call: " + std::to_string(seconds / 60) + "m" + (ss.size() < 2 ? "0" : "") + ss +
           "s rtt " + Whole(f.rttMs) + " ms loss in " + Text(f.in.lossPct, 1) + " % out " +
           Text(f.out.lossPct, 1) + " % jitter " + rounded(f.in.jitterMs) + " ms concealed " +
           Text(f.in.concealedPct, 1) + " % rating " + Text(f.in.rating, 1);
}
