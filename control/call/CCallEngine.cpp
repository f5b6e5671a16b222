// SPDX-License-Identifier: GPL-3.0-or-later
// CCallEngine: the call state machine of the voice control, and the owner of its socket,
// timers and media.
#include "CCallEngine.h"

#include "IVoiceReceiver.h"
#include "NetAddress.h"
#include "Packets.h"
#include "SecretBytes.h"
#include "TavrinoStandardApi.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>
#include <utility>

using namespace Tavrino;

CCallEngine::CCallEngine(ICallEventSink* sink, CallPlatform platform)
    : m_sink(sink), m_clock(std::move(platform.clock)), m_taskWnd(std::move(platform.taskWindow)),
      m_socket(std::move(platform.socket)), m_guard(*m_socket), m_media(std::move(platform.media)),
      m_settings(ControlSettings::FromEnvironment()), m_monitor(m_guard, *m_media, *m_socket, *m_clock),
      m_outgoing(*m_socket),
      m_incoming(*m_socket, *m_taskWnd, *m_clock) {}

CCallEngine::~CCallEngine() {
    UnInitialize(); // the capture thread stops before the guard and socket it sends through
}

// --- Call state helpers ----------------------------------------------------------------

void CCallEngine::ResetCallState() {
    m_guard.SetMediaActive(false);
    m_guard.SetPeer(std::string(), -1);
    m_party.Clear();
    m_activitySeen = true;
    if (m_callState == STATE_CONNECTED) {
        m_monitor.End();
        m_media->EndCall();
    }
    m_callState = STATE_IDLE;
    m_outgoing.Reset(); // wipes what held the password, and the attempt's secrets
    m_guard.Seal(nullptr);
}

// Each end of a call stops the two timers of the state it is named for, whatever the
// state: a hang-up while calling leaves the time-out and the resend running.
void CCallEngine::EndCall(const std::array<int, 2>& timers, int32_t status) {
    if (m_callState == STATE_PENDING)
        m_outgoing.Ended(status);
    ResetCallState();
    m_taskWnd->StopTimer(timers[0]);
    m_taskWnd->StopTimer(timers[1]);
    m_taskWnd->PostStatus(status);
}

bool CCallEngine::RequireIdle() {
    if (!RequireInitialized())
        return false;
    if (m_callState != STATE_IDLE)
        Fail(m_callState == STATE_CONNECTED ? ERR_ALREADY_CONNECTED : ERR_CALL_PENDING);
    return m_callState == STATE_IDLE;
}

CCallParty::Phase CCallEngine::Phase() const {
    using P = CCallParty::Phase;
    if (m_callState == STATE_CONNECTED)
        return P::Connected;
    if (m_callState != STATE_PENDING)
        return P::Idle;
    return IsCalling() || IsCallingSecurely() ? P::Calling : P::Called;
}

void CCallEngine::BecomeConnected(const std::string& address, int port,
                                  std::unique_ptr<CSecureChannel> channel,
                                  std::string confirmedUser, uint8_t agreedFlags) {
    m_incoming.ClearAttempts(); // the call is taken: other callers' attempts go
    m_confirmedUser = std::move(confirmedUser);
    m_outgoing.Reset(); // never sent again
    // Wideband only inside a channel: both sides said so in the flags the tags bind.
    m_callVoice = channel && (agreedFlags & SecureCall::kFlagWideband) != 0 ? VoiceKind::Wideband
                                                                             : VoiceKind::Narrowband;
    // Before media: the first frame is already sealed.
    m_monitor.Begin(m_callVoice, channel != nullptr,
                    (agreedFlags & SecureCall::kFlagReports) != 0);
    m_guard.Seal(std::move(channel), m_callVoice == VoiceKind::Wideband);
    m_media->BeginCall(m_callVoice);
    m_taskWnd->StopTimer(TIMER_CALL_TIMEOUT);
    m_taskWnd->StopTimer(TIMER_RESEND);
    m_taskWnd->StartTimer(TIMER_KEEPALIVE, kKeepAlivePeriodMs);
    m_taskWnd->StartTimer(TIMER_SUPERVISION, kSupervisionPeriodMs);
    m_callState = STATE_CONNECTED;
    m_guard.SetPeer(address, port);
    m_party.Clear(); // the peer speaks for the call from now on
    m_taskWnd->PostStatus(STATUS_CONNECTED);
    // Last, so the capture thread never sends voice before the peer is in place.
    m_guard.SetMediaActive(true);
}

// --- Methods -----------------------------------------------------------------------------

bool CCallEngine::Initialize(int32_t port, const std::string& key) {
    // Never key the cipher with zero bytes: an empty key switches encryption off, and
    // EnableCryptography refuses it until a key is given again.
    m_guard.SetKey(key);
    UnInitialize();
    m_settings = ControlSettings::FromEnvironment();
    m_media->ApplySettings(m_settings);
    m_incoming.Reset();
    m_confirmedUser.clear();
    m_outgoing.ClearOutcome();

    int32_t error = 0;
    if (!m_taskWnd->Create([this](int id) { OnTimerTick(id); }, m_sink,
                           [this](uint64_t attempt, bool delivered) {
                               m_incoming.Announced(attempt, delivered);
                           }))
        error = ERR_NOT_INITIALIZED;
    else if (!m_socket->Open(port, m_settings.bindAddress,
                             [this](const std::string& address, int from, uint8_t type,
                                    const uint8_t* payload, int length) {
                                 OnPacket(address, from, type, payload, length);
                             }))
        error = ERR_SOCKET;
    else
        error = m_media->Start(&m_guard);
    if (error != 0) {
        UnInitialize();
        Fail(error);
        return false;
    }
    m_initialized = true;
    return true;
}

void CCallEngine::UnInitialize() {
    Disconnect();
    m_socket->Close();
    m_media->Stop();
    ResetCallState();
    m_initialized = false;
    m_taskWnd->Destroy();
    m_incoming.ClearPending();
}

bool CCallEngine::Disconnect() {
    if (!RequireInitialized())
        return false;
    if (m_callState == STATE_CONNECTED) {
        // Media off first, under the lock the capture thread sends under: a frame it is
        // sending leaves before the hang-up, and none follows it.
        m_guard.SetMediaActive(false);
        m_monitor.SendReport(); // the far end's last figures of the call
        // A lost hang-up leaves the far end in the call until its supervision ends it;
        // the copies of a sealed one are each a packet of its own, not a replay.
        const bool sealed = m_guard.IsSealed();
        for (int i = 0; i < (sealed ? kSealedHangUpCopies : 1); ++i)
            m_guard.SendToPeer(PKT_HANGUP);
    }
    if (IsCallingSecurely())
        m_outgoing.SetOutcome(SECURE_OUTCOME_ENDED);
    m_incoming.ClearAttempts();
    for (int timer : {TIMER_CALL_TIMEOUT, TIMER_RESEND, TIMER_SUPERVISION, TIMER_KEEPALIVE})
        m_taskWnd->StopTimer(timer);
    ResetCallState();
    return true;
}

bool CCallEngine::Connect(const std::string& address, int32_t port, const std::string& userData,
                          int32_t timeOut) {
    if (!RequireIdle())
        return false;
    if (!m_outgoing.StartStated(UpToFirstZero(userData))) {
        // A token anyone could guess would let anyone take the call: none is placed.
        qWarning("TavrinoStandard: no call placed, the system's random source failed");
        Fail(ERR_SOCKET);
        return false;
    }
    PlaceCall(address, port, timeOut);
    return true;
}

bool CCallEngine::ConnectSecure(const std::string& address, int32_t port, const std::string& user,
                                const std::string& password, int32_t timeOut,
                                const std::string& fallbackUserData) {
    if (!RequireIdle() ||
        !Succeeds(m_outgoing.StartSecure(user, password, UpToFirstZero(fallbackUserData),
                                         OfferedFlags()),
                  ERR_SECURE_UNAVAILABLE))
        return false;
    PlaceCall(address, port, timeOut);
    return true;
}

void CCallEngine::PlaceCall(const std::string& address, int32_t port, int32_t timeOut) {
    m_incoming.ClearAttempts(); // a station that calls out takes no call meanwhile
    // Datagrams show their source as an address, so a name is resolved once here, with
    // a bounded wait (a literal address never asks DNS), and the call's datagrams all
    // go to its addresses: no lookup per resend. An unresolvable name leaves no party
    // and no peer address: nothing can leave, and the call times out.
    m_outgoing.PlaceTo(m_socket->AddressesOf(address), port);
    m_party.Set(m_outgoing.FirstAddress(), port);
    m_guard.SetPeer(m_party.Address(), port);
    m_taskWnd->StartTimer(TIMER_CALL_TIMEOUT, SecondsToTimerMs(timeOut));
    m_taskWnd->StartTimer(TIMER_RESEND, kResendPeriodMs);
    if (m_outgoing.HasNextAddress())
        m_taskWnd->StartTimer(TIMER_NEXT_ADDRESS, CCallCandidates::kNextAddressDelayMs);
    BecomePending();
}

bool CCallEngine::AcceptIncomingCall(const std::string& address, int32_t port, int32_t timeOut) {
    if (!RequireIdle())
        return false;
    // An encrypted request is answered only with the password (AcceptSecureCall).
    if (!Succeeds(m_incoming.AcceptStated(address, port), ERR_NO_SUCH_CALL))
        return false;
    m_party.Set(address, port);
    m_taskWnd->StartTimer(TIMER_CALL_TIMEOUT, SecondsToTimerMs(timeOut));
    BecomePending();
    return true;
}

bool CCallEngine::CancelIncomingCall(const std::string& address, int32_t port) {
    return RequireInitialized() && Succeeds(m_incoming.Refuse(address, port), ERR_NO_SUCH_CALL);
}

bool CCallEngine::AcceptSecureCall(const std::string& address, int32_t port,
                                   const std::string& password, int32_t timeOut) {
    if (!RequireIdle())
        return false;
    const CSecureAttempts::Answer answer =
        m_incoming.AcceptSecure(address, port, password, OfferedFlags(), SecondsToTimerMs(timeOut));
    if (!Succeeds(answer == CSecureAttempts::Answer::Done,
                  answer == CSecureAttempts::Answer::Failed ? ERR_SECURE_UNAVAILABLE
                                                            : ERR_NO_SUCH_CALL))
        return false;
    // The control stays idle: a guess that never confirms must not keep others out.
    m_taskWnd->PostStatus(STATUS_CALLING);
    return true;
}

int32_t CCallEngine::GetCallSecurity() const {
    if (m_callState == STATE_IDLE)
        return SECURITY_NONE;
    return m_outgoing.IsSecure() || m_guard.IsSealed() ? SECURITY_ENCRYPTED : SECURITY_STATED;
}

bool CCallEngine::SendTextMsg(const std::string& text, const std::string& userData) {
    if (!RequireInitialized())
        return false;
    m_guard.SendText(UpToFirstZero(text), UpToFirstZero(userData));
    return true;
}

bool CCallEngine::MuteMic(bool mute) {
    return RequireInitialized() && Succeeds(m_media->MuteMic(mute), ERR_MIC_DEVICE);
}

bool CCallEngine::MuteSpk(bool mute) {
    if (RequireInitialized())
        m_media->MuteSpk(mute);
    return m_initialized;
}

bool CCallEngine::EnableCryptography() {
    if (!RequireInitialized() || !Succeeds(m_guard.HasKey(), ERR_NO_CRYPTO_KEY))
        return false;
    m_guard.SetCipher(true);
    return true;
}

bool CCallEngine::DisableCryptography() {
    if (RequireInitialized())
        m_guard.SetCipher(false);
    return m_initialized;
}

bool CCallEngine::EnableVoiceActivityDetection(int32_t sensitivity, int32_t silenceDuration) {
    // A silence timer below one second would tick without pause (0 ms) or not at all;
    // one second is the shortest period that keeps the detector meaningful.
    if (RequireInitialized())
        m_media->EnableDetection(std::clamp<int32_t>(sensitivity, 0, 255),
                                 SecondsToTimerMs(std::max<int32_t>(silenceDuration, 1)));
    return m_initialized;
}

// --- Received packets --------------------------------------------------------------------

// Who may speak for the call is the party's rule (CCallParty). Whatever else arrives is
// dropped without a word: a report or a log line per datagram would hand a flood to the
// operator.
void CCallEngine::OnPacket(const std::string& address, int port, uint8_t type,
                           const uint8_t* payload, int length) {
    if (!m_initialized)
        return; // only an open socket delivers; nothing is filed for a closed engine
    if (!payload || length < 0)
        length = 0;
    if (type >= PKT_SECURE_REQUEST && type <= PKT_SECURE_DATA) {
        HandleSecurePacket(address, port, type, payload, length);
        return;
    }
    if (type == PKT_CALL_REQUEST) {
        m_incoming.OnCallRequest(address, port, payload, length);
        return;
    }
    using Sender = CCallParty::Sender;
    const Sender from = m_party.Of(address, port, Phase());
    // Nothing in clear speaks for an encrypted call, not even from its peer, but the
    // called station's answer that it is busy or not available: that answer comes
    // before any key exists.
    if ((m_outgoing.IsSecure() || m_guard.IsSealed()) &&
        !(IsCallingSecurely() && from == Sender::CalledStation &&
          (type == PKT_BUSY || type == PKT_NOT_AVAILABLE)))
        return;
    const bool peer = from == Sender::Peer;
    const bool party = from != Sender::Stranger;
    if (peer && m_callState == STATE_CONNECTED)
        m_monitor.OnPlainReceived(length + 1);
    switch (type) {
    case PKT_KEEPALIVE:
    case PKT_TEXT:
    case PKT_TEXT_ENCRYPTED:
        if (peer)
            HandleCallPacket(type, payload, length);
        break;
    case PKT_HANGUP:
        if (party)
            HandleCallPacket(type, payload, length);
        break;
    case PKT_VOICE_ENCRYPTED:
    case PKT_VOICE:
        // A caller's first frames may overtake its confirmation.
        if (peer || from == Sender::AcceptedCaller)
            HandleCallPacket(type, payload, length);
        break;
    case PKT_BUSY:
    case PKT_NOT_AVAILABLE:
        if (party)
            EndCall(kCallingTimers,
                    type == PKT_BUSY ? STATUS_REMOTE_BUSY : STATUS_REMOTE_NOT_AVAILABLE);
        break;
    case PKT_CONFIRM:
        if (from == Sender::AcceptedCaller)
            BecomeConnected(address, port);
        break;
    case PKT_ACCEPT:
        if (IsCalling() && ReadToken(payload, length) == m_outgoing.Token()) {
            for (int i = 0; i < kConfirmCopies; ++i)
                m_socket->Send(PKT_CONFIRM, nullptr, 0, address, port);
            BecomeConnected(address, port);
        }
        break;
    case PKT_REJECT:
        if (IsCalling() && ReadToken(payload, length) == m_outgoing.Token())
            EndCall(kCallingTimers, STATUS_CALL_REJECTED);
        break;
    default:
        break;
    }
}

void CCallEngine::HandleCallPacket(uint8_t type, const uint8_t* payload, int length) {
    if (type == PKT_KEEPALIVE) {
        m_activitySeen = true;
        return;
    }
    if (type == PKT_HANGUP) {
        EndCall(kConnectedTimers, STATUS_REMOTE_DISCONNECTED);
        return;
    }
    if (type == PKT_CALL_REPORT) { // only ever opened from the channel
        m_activitySeen = true;
        m_monitor.OnReport(payload, length);
        return;
    }
    // Text and voice, in clear or with a Blowfish payload; a sealed packet can carry
    // nothing else of the call.
    const CPacketGuard::Content content = m_guard.Read(type, payload, length);
    if (content.activity)
        m_activitySeen = true;
    switch (content.kind) {
    case CPacketGuard::Content::Text:
        m_taskWnd->PostText(content.text, content.userData);
        break;
    case CPacketGuard::Content::Voice:
    case CPacketGuard::Content::WidebandVoice: {
        const bool wideband = content.kind == CPacketGuard::Content::WidebandVoice;
        const int frameBytes = static_cast<int>(content.frame.size());
        m_monitor.OnVoice(wideband ? VoiceKind::Wideband : VoiceKind::Narrowband,
                          content.frame.data(), frameBytes);
        (wideband ? m_media->WidebandVoice() : m_media->Voice()).Receive(content.frame.data(), frameBytes);
        break;
    }
    case CPacketGuard::Content::Ciphered:
        m_taskWnd->PostStatus(STATUS_ENCRYPTED_DATA);
        break;
    case CPacketGuard::Content::Nothing:
        break;
    }
}

// --- The encrypted call ------------------------------------------------------------------

// The sid stands in for the stated token: unguessable, it is what lets a caller take
// an accept from any address, and what ties an answer to one attempt.
void CCallEngine::HandleSecurePacket(const std::string& address, int port, uint8_t type,
                                     const uint8_t* payload, int length) {
    switch (type) {
    case PKT_SECURE_REQUEST:
        m_incoming.OnSecureRequest(address, port, payload, length);
        break;
    case PKT_SECURE_ACCEPT: {
        std::unique_ptr<CSecureChannel> channel;
        const auto answer = IsCallingSecurely()
                                ? m_outgoing.OnAccept(address, port, payload, length, &channel)
                                : CSecureCaller::Answer::Ignored;
        if (answer == CSecureCaller::Answer::Accepted)
            BecomeConnected(address, port, std::move(channel), {}, m_outgoing.AgreedFlags());
        else if (answer == CSecureCaller::Answer::WrongPassword)
            EndCall(kCallingTimers, STATUS_CALL_REJECTED);
        break;
    }
    case PKT_SECURE_CONFIRM:
        // Only from the accepted caller's own address and port, and only with the tag that
        // shows it derived the same keys, that is, knew the password.
        if (m_callState != STATE_CONNECTED && !IsCalling() && !IsCallingSecurely()) {
            std::string user;
            uint8_t flags = 0;
            if (auto channel = m_incoming.Confirm(address, port, payload, length, &user, &flags))
                BecomeConnected(address, port, std::move(channel), std::move(user), flags);
        }
        break;
    case PKT_SECURE_REJECT:
        if (IsCallingSecurely() && m_outgoing.IsOwnReject(payload, length)) {
            // Told apart from a wrong password: the host refused this user, or is not
            // answering this address for a while.
            m_outgoing.SetOutcome(SECURE_OUTCOME_REFUSED);
            EndCall(kCallingTimers, STATUS_CALL_REJECTED);
        }
        break;
    case PKT_SECURE_DATA: {
        CPacketGuard::Opened opened; // forged, replayed or too old: dropped without a word
        if (m_callState != STATE_CONNECTED || !m_guard.Open(address, port, payload, length, &opened))
            break;
        m_monitor.OnSealedOpened(opened.counter, length + 1);
        HandleCallPacket(opened.type, opened.payload.data(), static_cast<int>(opened.payload.size()));
        break;
    }
    default:
        break;
    }
}

// --- Timers ------------------------------------------------------------------------------

void CCallEngine::OnTimerTick(int id) {
    switch (id) {
    case TIMER_RATE:
        m_media->Tick();
        m_monitor.Tick();
        m_socket->ClosePeriod();
        // The last unconfirmed attempt ends as a stated acceptance does; it also counts
        // as a failed password for the station, which counted it when it accepted.
        if (m_incoming.ExpireAttempts() && m_callState == STATE_IDLE)
            m_taskWnd->PostStatus(STATUS_TIMEOUT);
        break;
    case TIMER_CALL_TIMEOUT:
        EndCall(kCallingTimers, STATUS_TIMEOUT);
        break;
    case TIMER_SUPERVISION:
        if (m_activitySeen)
            m_activitySeen = false;
        else
            EndCall(kConnectedTimers, STATUS_CONNECTION_LOST);
        break;
    case TIMER_RESEND:
        m_outgoing.Resend();
        break;
    case TIMER_NEXT_ADDRESS:
        if (!(IsCalling() || IsCallingSecurely()) || !m_outgoing.BringInNext() ||
            !m_outgoing.HasNextAddress())
            m_taskWnd->StopTimer(TIMER_NEXT_ADDRESS);
        break;
    case TIMER_KEEPALIVE:
        for (int i = 0; i < kKeepAliveCopies; ++i)
            m_guard.SendToPeer(PKT_KEEPALIVE);
        break;
    case TIMER_PENDING_AGE:
        m_incoming.Age();
        break;
    default:
        break;
    }
}
