// SPDX-License-Identifier: GPL-3.0-or-later
// CCallMonitor: the connected call's figures, and the call reports two stations trade
// for them.
#pragma once

#include "CCallStatistics.h"
#include "VoiceKind.h"

#include <cstdint>
#include <string>

class CPacketGuard;
class ICallClock;
class ICallMedia;
class ICallSocket;

// The engine hands it what arrives from the peer. Once a second (Tick) it takes over
// what the capture thread sent and the jitter buffer's figures and, in a call that
// agreed on reports, sets the wideband encoder's expected loss from the far end's; every
// second tick it seals a report (inner type 31). A call's figures stay readable after it
// ended, until the next one connects.
//
// Threads: the control's thread alone (the capture thread's sends reach it through the
// guard's tally).
class CCallMonitor {
public:
    static constexpr int kTicksPerReport = 2;

    CCallMonitor(CPacketGuard& guard, ICallMedia& media, const ICallSocket& socket,
                 const ICallClock& clock);

    // A call connected: `sealed` in a channel, `reports` when both sides offered them.
    void Begin(VoiceKind voice, bool sealed, bool reports);
    void End();
    bool ReportsAgreed() const { return m_running && m_reports; }

    void OnSealedOpened(uint64_t counter, int wireBytes);
    void OnPlainReceived(int wireBytes);
    // A voice payload as the media get it: a GSM frame, or seq and an Opus packet.
    void OnVoice(VoiceKind kind, const uint8_t* payload, int length);
    // An opened type-31 payload; one of the wrong size is ignored.
    void OnReport(const uint8_t* payload, int length);
    void Tick();
    // A report now, as the last one before a hang-up.
    void SendReport();

    // CCallStatistics::Record and SummaryLine of the call; "" before the first one.
    std::string Record() const;
    std::string SummaryLine() const;

private:
    int64_t Now() const;
    // What the capture thread sent, the socket's bytes and the jitter buffer's figures.
    void Collect(int64_t now);

    CPacketGuard& m_guard;
    ICallMedia& m_media;
    const ICallSocket& m_socket;
    const ICallClock& m_clock;
    CCallStatistics m_stats;
    bool m_running = false;
    bool m_any = false; // a call has begun since the engine was made
    bool m_reports = false;
    VoiceKind m_voice = VoiceKind::Narrowband;
    int m_ticks = 0;
    int64_t m_sentBytes = 0; // the socket's outbound total at the last tick
};
