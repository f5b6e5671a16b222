// SPDX-License-Identifier: GPL-3.0-or-later
// CCallMonitor: the connected call's figures and its reports.
#include "CCallMonitor.h"

#include "CPacketGuard.h"
#include "ICallClock.h"
#include "ICallMedia.h"
#include "ICallSocket.h"
#include "Packets.h"

using Stats = CCallStatistics;

CCallMonitor::CCallMonitor(CPacketGuard& guard, ICallMedia& media, const ICallSocket& socket,
                           const ICallClock& clock)
    : m_guard(guard), m_media(media), m_socket(socket), m_clock(clock) {}

int64_t CCallMonitor::Now() const {
    return m_clock.NowMs();
}

void CCallMonitor::Begin(VoiceKind voice, bool sealed, bool reports) {
    m_running = m_any = true;
    m_voice = voice;
    m_reports = sealed && reports;
    m_ticks = 0;
    m_sentBytes = m_socket.Counters().outboundTotal;
    m_guard.TakeVoiceSent(); // what was sent before the call is not its own
    m_stats.Start(voice == VoiceKind::Wideband ? Stats::Voice::Wideband : Stats::Voice::Narrowband,
                  !sealed ? Stats::Channel::Plain
                  : m_reports ? Stats::Channel::SealedWithReports
                              : Stats::Channel::Sealed,
                  Now());
}

void CCallMonitor::End() {
    if (!m_running)
        return;
    Collect(Now()); // what was sent since the last tick
    m_running = false;
    m_stats.End(Now());
}

void CCallMonitor::OnSealedOpened(uint64_t counter, int wireBytes) {
    if (m_running)
        m_stats.OnSealedOpened(counter, wireBytes, Now());
}

void CCallMonitor::OnPlainReceived(int wireBytes) {
    if (m_running)
        m_stats.OnPlainReceived(wireBytes, Now());
}

void CCallMonitor::OnVoice(VoiceKind kind, const uint8_t* payload, int length) {
    if (!m_running)
        return;
    if (kind == VoiceKind::Narrowband) {
        m_stats.OnNarrowbandVoice(length, Now());
    } else if (length > WIDEBAND_SEQ_BYTES) {
        const auto seq = static_cast<uint16_t>(payload[0] | (payload[1] << 8));
        m_stats.OnWidebandVoice(seq, length - WIDEBAND_SEQ_BYTES, Now());
    }
}

void CCallMonitor::OnReport(const uint8_t* payload, int length) {
    CCallReport report;
    if (ReportsAgreed() && CCallReport::Parse(payload, length, &report))
        m_stats.OnReportReceived(report, Now());
}

void CCallMonitor::Tick() {
    if (!m_running)
        return;
    Collect(Now());
    if (!m_reports)
        return;
    if (m_voice == VoiceKind::Wideband)
        m_media.SetExpectedLoss(m_stats.EncoderExpectedLossPct());
    if (++m_ticks % kTicksPerReport == 0)
        SendReport();
}

void CCallMonitor::Collect(int64_t now) {
    const CPacketGuard::VoiceSent voice = m_guard.TakeVoiceSent();
    if (voice.frames > 0)
        m_stats.OnVoiceSent(voice.bytes, now, voice.frames);
    const int64_t sent = m_socket.Counters().outboundTotal;
    // The socket's total is a 32-bit count that may wrap in a long call.
    m_stats.OnPacketSent(static_cast<int>(static_cast<uint32_t>(sent - m_sentBytes)), now);
    m_sentBytes = sent;
    if (const auto received = m_media.ReceivedVoiceFigures())
        m_stats.OnBufferFigures({received->delayMs, received->concealed, received->recovered,
                                 received->late},
                                now);
}

void CCallMonitor::SendReport() {
    if (!ReportsAgreed())
        return;
    const auto report = m_stats.SealReport(Now()).Build();
    m_guard.SendToPeer(PKT_CALL_REPORT, report.data(), static_cast<int>(report.size()));
}

std::string CCallMonitor::Record() const {
    return m_any ? m_stats.Record() : std::string();
}

std::string CCallMonitor::SummaryLine() const {
    return m_any ? m_stats.SummaryLine() : std::string();
}
