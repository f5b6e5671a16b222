// SPDX-License-Identifier: GPL-3.0-or-later
// CCallStatistics: the figures of one call, each direction, from what the call sees.
#pragma once

#include "CCallReport.h"

#include <bitset>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

// "In" is what this station receives, "out" what the far end receives from us, as its
// call reports tell. Every input carries `nowMs`, the monotonic clock in ms; the latest
// one given is the figures' present. Out-figures and the round trip need the far end's
// reports: on a call without them they stay unknown (std::nullopt), never zero.
//
// Figure (record key)              how it is found                                        unit
// duration (duration_s)            Start to End, or to the latest input                   s
// voice (voice)                    wideband (20 ms Opus frames) or narrowband (120 ms GSM)
// encrypted, reports               packets sealed or not; reports traded or not           yes/no
// bytes (bytes_in, bytes_out)      the call's datagrams, without IP and UDP headers       bytes
// bitrate (bitrate_*_kbps)         codec bytes of the voice frames over the last 5 s      kbit/s
//                                  (over the call while it is shorter)
// round trip (rtt_ms)              the latest report echoing one of ours: now - t_echo    ms
//                                  - t_held (not smoothed; none while t_held is at 65535)
// loss in (loss_in_pct)            our sealed counters over the call: 1 - received /      %
//                                  (highest - first + 1), a duplicate counted once
// loss in 10 s (loss_in_10s_pct)   the same over the last 10 s (to the second):           %
//                                  1 - delta received / delta expected
// loss out (loss_out_pct)          the far end's reports, first to latest:                %
//                                  1 - delta received / delta (highest + 1)
// loss out 10 s (loss_out_10s_pct) the same from the newest report 10 s old or more       %
// jitter in (jitter_in_ms)         RFC 3550 6.4.1, J += (|D| - J) / 16, over the far      ms
//                                  end's voice frames (narrowband: see OnNarrowbandVoice)
// jitter out (jitter_out_ms)       the far end's report                                   ms
// buffer (buffer_*_ms)             the jitter buffer's present delay: ours for in, the    ms
//                                  far end's report for out
// frames (frames_in, frames_out)   voice frames sent: in, the span of sequence numbers    frames
//                                  (wideband) or frames arrived + concealed (narrowband);
//                                  out, the frames we sent
// concealed, recovered, late       frames played concealed (lost, no FEC), rebuilt from   frames
// (concealed_in, ..._pct, ...)     FEC, or arrived after their playing time; and each     %
//                                  as a share of the frames sent
// encoder loss (encoder_loss_pct)  the wideband encoder's expected loss: the highest      %
//                                  loss out between two reports over the last 10 s (the
//                                  latest when none is that recent), 2 to 30; 10 before
//                                  any; unknown on narrowband
// rating (rating, rating_out)      CCallRating from the direction's loss over the call    1 to 4.5
//                                  (without counters, its concealed share), late share,
//                                  jitter, buffer and rtt / 2
//
// Record() writes `key=value&key=value...` in the order above; an unknown value is
// written `-`. Percentages have two decimals, bitrates, jitter and ratings one, the rest
// are whole numbers.
//
// Threads: the control's thread owns the object; every call is made there, no locking.
class CCallStatistics {
public:
    enum class Voice { Wideband, Narrowband };
    enum class Channel { Plain, Sealed, SealedWithReports };

    static constexpr int64_t kLossWindowMs = 10000;
    static constexpr int64_t kBitrateWindowMs = 5000;
    static constexpr int kWidebandFrameMs = 20;
    static constexpr int kNarrowbandFrameMs = 120;

    struct BufferFigures {
        int delayMs = 0;
        uint64_t concealed = 0;
        uint64_t recovered = 0;
        uint64_t late = 0;
    };

    struct Direction {
        uint64_t bytes = 0;
        double bitrateKbps = 0;
        std::optional<double> lossPct;
        std::optional<double> loss10sPct;
        std::optional<double> jitterMs;
        std::optional<int> bufferMs;
        std::optional<uint64_t> frames;
        std::optional<uint64_t> concealed, recovered, late;
        std::optional<double> concealedPct, recoveredPct, latePct;
        std::optional<double> rating;
    };

    struct Figures {
        int64_t durationMs = 0;
        Voice voice = Voice::Wideband;
        Channel channel = Channel::Plain;
        std::optional<int64_t> rttMs;
        std::optional<int> encoderLossPct;
        Direction in, out;
    };

    // A new call: everything before is forgotten. Inputs before Start or after End are
    // ignored.
    void Start(Voice voice, Channel channel, int64_t nowMs);
    void End(int64_t nowMs);

    // A sealed data packet from the far end that opened (any inner type), its size on
    // the wire. Counters more than kDuplicateWindow below the highest cannot be told
    // from duplicates and are not counted.
    void OnSealedOpened(uint64_t counter, int wireBytes, int64_t nowMs);
    // Any other datagram of the call from the far end (a call without sealing).
    void OnPlainReceived(int wireBytes, int64_t nowMs);
    void OnPacketSent(int wireBytes, int64_t nowMs);

    // A voice frame from the far end; `payloadBytes` counts the codec's bytes only.
    void OnWidebandVoice(uint16_t seq, int payloadBytes, int64_t nowMs);
    // Narrowband frames carry no sequence number, so each arrival is measured against the
    // 120 ms grid of the one before: D = spacing - 120 ms * n, n the whole number of
    // frames nearest to the spacing (at least 1). A lost frame or a pause thus costs
    // nothing, but a frame more than 60 ms off is taken for its neighbour's slot: heavy
    // jitter reads low. The sender's capture timing counts as network jitter.
    void OnNarrowbandVoice(int payloadBytes, int64_t nowMs);
    // `frames` voice frames sent since the last call of this, `payloadBytes` codec bytes
    // in all (the capture thread sends them; the owner hands them over in batches).
    void OnVoiceSent(int payloadBytes, int64_t nowMs, int frames = 1);

    // The local jitter buffer's present delay and its counts since the call started.
    void OnBufferFigures(const BufferFigures& figures, int64_t nowMs);

    // A parsed report from the far end. One whose t_send is not after the last one's
    // (a late or repeated datagram) is ignored.
    void OnReportReceived(const CCallReport& report, int64_t nowMs);
    // Our next report, filled from what we received; the caller seals and sends it.
    CCallReport SealReport(int64_t nowMs);

    Figures Snapshot() const;
    // The loss the wideband encoder should expect, whole percent (see above).
    int EncoderExpectedLossPct() const;
    std::string Record() const;
    // `call: 3m12s rtt 41 ms loss in 0.4 % out 1.2 % jitter 6 ms concealed 0.3 % rating 4.6`
    // with the in-direction's jitter, concealed share and rating, `-` where unknown.
    std::string SummaryLine() const;

    static constexpr int kDuplicateWindow = 1024;

private:
    // A count pair at a moment: packets expected and received (in), or the far end's
    // unwrapped received and highest counts from one report (out).
    struct Tally {
        int64_t atMs = 0;
        int64_t expected = 0;
        int64_t received = 0;
    };
    struct Payload {
        int64_t atMs = 0;
        int bytes = 0;
    };
    struct IntervalLoss {
        int64_t atMs = 0;
        double pct = 0;
    };

    bool Accept(int64_t nowMs);
    // A voice packet counted for the bitrate; false when its time is refused.
    bool Arrived(int payloadBytes, int64_t nowMs);
    void Jitter(double transitMs);
    double BitrateKbps(const std::deque<Payload>& frames) const;
    std::optional<double> LossPct(const Tally& from, const Tally& to) const;
    const Tally& Base(const std::deque<Tally>& tallies) const;
    Tally InTally() const;
    int FrameMs() const;
    void RateDirections(Figures* f) const;

    bool m_running = false;
    Voice m_voice = Voice::Wideband;
    Channel m_channel = Channel::Plain;
    int64_t m_startMs = 0;
    int64_t m_nowMs = 0;
    uint64_t m_bytesIn = 0;
    uint64_t m_bytesOut = 0;

    // Sealed counters from the far end.
    bool m_anyCounter = false;
    uint64_t m_firstCounter = 0;
    uint64_t m_highestCounter = 0;
    uint64_t m_receivedCounters = 0;
    std::bitset<kDuplicateWindow> m_seen; // bit i: highest - 1 - i opened
    std::deque<Tally> m_inTallies;        // at most one a second, back to 10 s ago

    // The far end's voice.
    uint64_t m_framesArrived = 0;
    bool m_anySeq = false;
    int64_t m_firstSeq = 0;
    int64_t m_highestSeq = 0;
    std::optional<double> m_lastTransitMs;
    std::optional<int64_t> m_lastArrivalMs;
    double m_jitterMs = 0;
    bool m_jitterKnown = false;
    std::deque<Payload> m_voiceIn;
    std::deque<Payload> m_voiceOut;
    uint64_t m_framesSent = 0;
    std::optional<BufferFigures> m_buffer;

    // The far end's reports.
    std::optional<CCallReport> m_lastReport;
    int64_t m_lastReportAtMs = 0;
    std::optional<Tally> m_firstOut;
    std::deque<Tally> m_outTallies; // unwrapped, back to 10 s ago
    std::deque<IntervalLoss> m_intervalLosses;
    std::optional<int64_t> m_rttMs;
};
