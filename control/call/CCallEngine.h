// SPDX-License-Identifier: GPL-3.0-or-later
// CCallEngine: the call state machine of the voice control, and the owner of its socket,
// timers and media.
#pragma once

#include "CCallMonitor.h"
#include "CCallParty.h"
#include "CCallToken.h"
#include "CIncomingCalls.h"
#include "COutgoingCall.h"
#include "CPacketGuard.h"
#include "CallPlatform.h"
#include "ControlSettings.h"
#include "ICallEventSink.h"
#include "TavrinoStandardApi.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The engine runs the stated call state machine (idle, pending as caller or callee,
// connected) with its timers, and the encrypted call's handshake on top of it. The
// request of a call placed is the outgoing call's, the requests that arrive and the
// station's answers are the incoming calls' (encrypted attempts included), and what
// every packet passes on its way to and from the peer is the guard's (clear, Blowfish
// payload, sealed channel); the media decode and play what the engine hands them, and
// capture sends straight to the guard. The socket, task window, media and clock come
// in as a platform, so tests drive the machine at full speed on fakes.
//
// Threads: the engine lives on the control's thread, and everything here runs there: the
// methods, OnPacket (socket notifications) and OnTimerTick (task window). Reports go from
// the task window to the sink without passing through the engine, so a host that
// uninitialises or destroys the control from its event handler never returns into the
// engine. The capture thread only reaches the guard (see CPacketGuard).
class CCallEngine {
public:
    enum CallState : int32_t { STATE_IDLE = 0, STATE_PENDING = 121, STATE_CONNECTED = 122 };

    static constexpr int kResendPeriodMs = 3000;
    static constexpr int kKeepAlivePeriodMs = 3000;
    static constexpr int kSupervisionPeriodMs = 15000;
    static constexpr int kAcceptCopies = 5;
    static constexpr int kConfirmCopies = 5;
    static constexpr int kKeepAliveCopies = 3;
    static constexpr int kSealedHangUpCopies = 3;
    static constexpr int kSecureRequestsBeforeFallback = COutgoingCall::kSecureRequestsBeforeFallback;
    // Encrypted attempts accepted and awaiting their confirmation at once; a flood of
    // accepted guesses cannot grow it (the oldest goes).
    static constexpr std::size_t kMaxSecureAttempts = CSecureAttempts::kMaxAccepted;

    CCallEngine(ICallEventSink* sink, CallPlatform platform);
    ~CCallEngine();
    CCallEngine(const CCallEngine&) = delete;
    CCallEngine& operator=(const CCallEngine&) = delete;

    // The control's methods. Strings are the locale's 8-bit text.
    bool Initialize(int32_t port, const std::string& key);
    void UnInitialize();
    bool Disconnect();
    bool Connect(const std::string& address, int32_t port, const std::string& userData,
                 int32_t timeOut);
    bool AcceptIncomingCall(const std::string& address, int32_t port, int32_t timeOut);
    bool CancelIncomingCall(const std::string& address, int32_t port);
    bool SendTextMsg(const std::string& text, const std::string& userData);
    // The encrypted call (see DISPID_CONNECT_SECURE and its neighbours).
    bool ConnectSecure(const std::string& address, int32_t port, const std::string& user,
                       const std::string& password, int32_t timeOut,
                       const std::string& fallbackUserData);
    bool AcceptSecureCall(const std::string& address, int32_t port, const std::string& password,
                          int32_t timeOut);
    int32_t GetRequestSecurity(const std::string& address, int32_t port) const {
        return m_incoming.SecurityOf(address, port);
    }
    int32_t GetCallSecurity() const;
    int32_t GetSecureOutcome() const { return m_outgoing.Outcome(); }
    std::string GetConfirmedUser() const { return m_confirmedUser; }
    std::string GetPeerAddress() const { return m_guard.PeerAddress(); }
    int32_t GetPeerPort() const { return m_guard.PeerPort(); }
    int32_t GetLocalPort() const { return m_initialized ? m_socket->LocalPort() : -1; }
    // Wideband voice offered in this station's encrypted requests and accepts from now on.
    bool SetWidebandVoice(bool on) {
        m_offerWideband = on;
        return true;
    }
    // The figures of the connected call, or of the last one (CCallStatistics::Record);
    // "" before the first.
    std::string GetCallStatistics() const { return m_monitor.Record(); }
    std::string GetCallSummary() const { return m_monitor.SummaryLine(); }
    // The connected call's voice (Tavrino::CallVoice): -1 without one.
    int32_t GetCallVoice() const {
        return m_callState == STATE_CONNECTED ? static_cast<int32_t>(m_callVoice) : -1;
    }
    void EnableBusyState() { m_incoming.SetBusy(true); }
    void DisableBusyState() { m_incoming.SetBusy(false); }
    void EnableNotAvailableState() { m_incoming.SetNotAvailable(true); }
    void DisableNotAvailableState() { m_incoming.SetNotAvailable(false); }
    bool MuteMic(bool mute);
    bool MuteSpk(bool mute);
    int32_t GetOutBoundTotalBytes() const { return Traffic().outboundTotal; }
    int32_t GetInBoundTotalBytes() const { return Traffic().inboundTotal; }
    int32_t GetOutBoundDataRate() const { return Traffic().outboundRate; }
    int32_t GetInBoundDataRate() const { return Traffic().inboundRate; }
    int32_t GetObjectError() const { return m_objectError; }
    bool EnableCryptography();
    bool DisableCryptography();
    bool EnableVoiceActivityDetection(int32_t sensitivity, int32_t silenceDuration);
    void DisableVoiceActivityDetection() { m_media->DisableDetection(); }

    // The object error, written by every failing method (the mixer's too).
    void Fail(int32_t error) { m_objectError = error; }
    // The environment's settings as of the last Initialize (or the engine's creation).
    const ControlSettings& Settings() const { return m_settings; }

    // One received datagram (type byte split off), from the socket.
    void OnPacket(const std::string& address, int port, uint8_t type, const uint8_t* payload,
                  int length);
    // One tick of timer `id`, from the task window.
    void OnTimerTick(int id);

    // Read-only views for diagnostics and tests (control's thread).
    int32_t State() const { return m_callState; }
    bool IsInitialized() const { return m_initialized; }
    bool IsBusy() const { return m_incoming.IsBusy(); }
    bool IsNotAvailable() const { return m_incoming.IsNotAvailable(); }
    bool IsMediaActive() const { return m_guard.IsMediaActive(); }
    bool IsCryptographyEnabled() const { return m_guard.IsCipherOn(); }
    bool IsVoiceActivityDetectionEnabled() const { return m_media->IsDetecting(); }
    bool ActivitySeen() const { return m_activitySeen; }
    const CCallToken& OwnToken() const { return m_outgoing.Token(); }
    const CCallToken& AcceptedToken() const { return m_incoming.AcceptedToken(); }
    const CPendingCallList& PendingCalls() const { return m_incoming.Pending(); }
    std::size_t SecureAttempts() const { return m_incoming.AcceptedAttempts(); }
    std::size_t PendingSecureRequests() const { return m_incoming.PendingAttempts(); }
    CPacketGuard& Guard() { return m_guard; }

    // Milliseconds for a timer of `seconds`, kept inside what a timer can take.
    static int SecondsToTimerMs(int32_t seconds) {
        return static_cast<int>(std::clamp<int64_t>(int64_t{seconds} * 1000, 0, INT_MAX));
    }

private:
    // Where the call stands, as the party's rule reads it.
    CCallParty::Phase Phase() const;
    bool IsCalling() const { return m_callState == STATE_PENDING && m_outgoing.IsStated(); }
    bool IsCallingSecurely() const { return m_callState == STATE_PENDING && m_outgoing.IsSecure(); }

    ICallSocket::Traffic Traffic() const {
        return m_initialized ? m_socket->Counters() : ICallSocket::Traffic{};
    }
    void ResetCallState();
    // Ends the call without a word to the other party: reset, `timers` stopped, `status` posted.
    void EndCall(const std::array<int, 2>& timers, int32_t status);
    static constexpr std::array<int, 2> kCallingTimers{TIMER_CALL_TIMEOUT, TIMER_RESEND};
    static constexpr std::array<int, 2> kConnectedTimers{TIMER_SUPERVISION, TIMER_KEEPALIVE};
    // `ok`, with `error` recorded when it is false.
    bool Succeeds(bool ok, int32_t error) {
        if (!ok)
            Fail(error);
        return ok;
    }
    // False, with the object error set, while not initialised.
    bool RequireInitialized() {
        if (!m_initialized)
            Fail(Tavrino::ERR_NOT_INITIALIZED);
        return m_initialized;
    }
    // False, with the object error set, unless a call may be placed or accepted now.
    bool RequireIdle();
    void BecomePending() {
        m_callState = STATE_PENDING;
        m_taskWnd->PostStatus(Tavrino::STATUS_CALLING);
    }
    // With a channel the call is encrypted from now on; `confirmedUser` is the user the
    // confirming attempt named, when this station was called.
    void BecomeConnected(const std::string& address, int port,
                         std::unique_ptr<CSecureChannel> channel = nullptr,
                         std::string confirmedUser = {}, uint8_t agreedFlags = 0);
    // The flag bits of our encrypted requests and accepts.
    uint8_t OfferedFlags() const {
        return (m_settings.callReports == "off" ? 0 : SecureCall::kFlagReports) |
               (m_offerWideband ? SecureCall::kFlagWideband : 0);
    }
    // Sends the outgoing call's request to the station called and becomes pending.
    void PlaceCall(const std::string& address, int32_t port, int32_t timeOut);
    // One stated packet of the call, from the peer or opened from a sealed one.
    void HandleCallPacket(uint8_t type, const uint8_t* payload, int length);
    void HandleSecurePacket(const std::string& address, int port, uint8_t type,
                            const uint8_t* payload, int length);

    ICallEventSink* m_sink;
    // The platform, in the order it must go: the media's capture thread sends through
    // the guard and the socket, so it is destroyed (and stopped) first.
    std::unique_ptr<ICallClock> m_clock;
    std::unique_ptr<ICallTaskWindow> m_taskWnd;
    std::unique_ptr<ICallSocket> m_socket;
    CPacketGuard m_guard;
    std::unique_ptr<ICallMedia> m_media;
    ControlSettings m_settings;
    CCallMonitor m_monitor; // the call's figures and reports

    COutgoingCall m_outgoing; // while calling
    CIncomingCalls m_incoming;
    CCallParty m_party{m_guard, m_outgoing}; // who speaks for the call while pending
    int32_t m_objectError = 0;
    bool m_activitySeen = true;
    int32_t m_callState = STATE_IDLE;
    bool m_initialized = false;
    // The user the confirming attempt named; kept until the next call connects.
    std::string m_confirmedUser;
    bool m_offerWideband = false;
    VoiceKind m_callVoice = VoiceKind::Narrowband;
};
