// SPDX-License-Identifier: GPL-3.0-or-later
// CCallEngine: the call state machine of the voice control and the owner of its socket and media.
#include "CCallEngine.h"

#include "CCallSocket.h"
#include "ControlSettings.h"
#include "MixerControl.h"
#include "NetAddress.h"
#include "Packets.h"
#include "PayloadCipher.h"
#include "SecretBytes.h"
#include "TavrinoStandardApi.h"
#include "TimingLog.h"

#include <QObject>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstddef>
#include <utility>

using namespace Tavrino;

namespace {

// Text that travels zero-terminated ends at its first zero byte; cutting it here keeps
// the bytes after it (the call token of a request) where the receiver reads them.
std::string UpToFirstZero(const std::string& s) {
    return s.substr(0, s.find('\0'));
}

} // namespace

CCallEngine::CCallEngine(ICallEventSink* sink)
    : m_sink(sink),
      m_socket(std::make_unique<CCallSocket>(
          [this](const std::string& address, int port, uint8_t type, const uint8_t* payload,
                 int length) { OnPacket(address, port, type, payload, length); })) {
    // Read here as well as at Initialize: the mixer methods work before it.
    ApplySettings(ControlSettings::FromEnvironment());
}

CCallEngine::~CCallEngine() {
    // Members go in reverse order, so the capture thread stops before anything it sends
    // with goes: destruction is safe even without the UnInitialize below.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
    static_assert(offsetof(CCallEngine, m_capture) > offsetof(CCallEngine, m_socket) &&
                  offsetof(CCallEngine, m_capture) > offsetof(CCallEngine, m_sendMutex) &&
                  offsetof(CCallEngine, m_capture) > offsetof(CCallEngine, m_key) &&
                  offsetof(CCallEngine, m_capture) > offsetof(CCallEngine, m_mediaActive),
                  "the capture thread must stop before what it sends with is destroyed");
#pragma GCC diagnostic pop
    UnInitialize();
}

int CCallEngine::SecondsToTimerMs(int32_t seconds) {
    const int64_t ms = static_cast<int64_t>(seconds) * 1000;
    return static_cast<int>(std::clamp<int64_t>(ms, 0, INT_MAX));
}

// --- Seams -------------------------------------------------------------------------------

bool CCallEngine::CreateTaskWindow() {
    m_taskWnd = std::make_unique<CTaskWnd>();
    return m_taskWnd->Create([this](int id) { OnTimerTick(id); }, m_sink,
                             [this](uint64_t attempt, bool delivered) {
                                 AnnouncementDelivered(attempt, delivered);
                             });
}

void CCallEngine::DestroyTaskWindow() {
    // Safe from inside a report: the window touches nothing of its own once the sink
    // it called returns.
    m_taskWnd.reset();
}

bool CCallEngine::OpenSocket(int port) {
    return m_socket->Open(port); // refuses a port outside 0..65535
}

void CCallEngine::CloseSocket() {
    m_socket->Close();
}

int32_t CCallEngine::StartMedia() {
    if (!m_decoder.Open(CAcmCodec::DIRECTION_DECODE))
        return ERR_SOUND_DEVICE;
    if (!m_playback.Open())
        return ERR_SOUND_DEVICE;
    m_stream = m_playback.CreateStream();
    if (!m_stream)
        return ERR_SOUND_DEVICE;
    if (!m_capture.Start(this))
        return ERR_MIC_DEVICE;
    return 0;
}

void CCallEngine::SendPacket(uint8_t type, const uint8_t* payload, int length,
                             const std::string& address, int port) {
    m_socket->Send(type, payload, length, address, port);
}

void CCallEngine::StartTimer(int id, int periodMs) {
    if (m_taskWnd)
        m_taskWnd->StartTimer(id, periodMs);
}

void CCallEngine::StopTimer(int id) {
    if (m_taskWnd)
        m_taskWnd->StopTimer(id);
}

void CCallEngine::PostStatus(int32_t code) {
    if (m_taskWnd)
        m_taskWnd->PostStatus(code);
}

void CCallEngine::PostText(const std::string& text, const std::string& userData) {
    if (m_taskWnd)
        m_taskWnd->PostText(text, userData);
}

void CCallEngine::PostConnection(const std::string& address, int32_t port,
                                 const std::string& userData, uint64_t attempt) {
    if (m_taskWnd)
        m_taskWnd->PostConnection(address, port, userData, attempt);
}

void CCallEngine::AnnouncementDelivered(uint64_t attempt, bool delivered) {
    m_attempts.Announced(attempt, delivered);
}

std::vector<std::string> CCallEngine::AddressesOf(const std::string& address) {
    return m_socket->AddressesOf(address);
}

void CCallEngine::PlayVoiceFrame(const uint8_t* frame) {
    if (!m_stream)
        return;
    // Zero-filled, so a frame that fails to decode plays as 120 ms of silence.
    std::array<uint8_t, PCM_FRAME_BYTES> pcm{};
    m_decoder.Convert(pcm.data(), frame);
    m_playback.QueueFrame(m_stream, pcm.data(), PCM_FRAME_BYTES);
    m_playback.PlayQueued(m_stream);
}

int64_t CCallEngine::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CCallEngine::ApplySettings(const ControlSettings& settings) {
    m_socket->SetBindAddress(settings.bindAddress);
    m_capture.SetCaptureSetting(settings.capture);
    m_capture.SetEchoSetting(settings.echo);
    m_playback.SetOutputSetting(settings.playback);
    m_mixerDevice = settings.mixer;
    SetAudioTimingLog(settings.timingLog);
}

// --- Call state helpers ----------------------------------------------------------------

void CCallEngine::SetPeer(const std::string& address, int32_t port) {
    std::lock_guard lock(m_sendMutex);
    m_peerAddress = address;
    m_peerPort = port;
}

void CCallEngine::SetMediaActive(bool active) {
    std::lock_guard lock(m_sendMutex);
    m_mediaActive = active;
}

void CCallEngine::ResetCallState() {
    SetMediaActive(false);
    SetPeer(std::string(), -1);
    m_partyAddress.clear();
    m_partyPort = -1;
    m_candidates.Reset();
    m_activitySeen = true;
    m_callState = STATE_IDLE;
    m_ownToken = CCallToken();
    m_secureCaller.reset(); // wipes the attempt's scalar and keys
    m_secureCall = false;
    SetChannel(nullptr);
    WipeRequest();
}

void CCallEngine::WipeRequest() {
    WipeSecret(m_request.data(), m_request.size());
    m_request.clear();
    WipeSecret(m_fallbackUserData.data(), m_fallbackUserData.size());
    m_fallbackUserData.clear();
}

void CCallEngine::SetChannel(std::unique_ptr<CSecureChannel> channel) {
    std::unique_ptr<CSecureChannel> old;
    {
        std::lock_guard lock(m_sendMutex);
        old = std::exchange(m_channel, std::move(channel));
    }
    // `old` wipes its keys here, outside the lock.
}

void CCallEngine::SendToPeer(uint8_t type, const uint8_t* payload, int length) {
    // Sealed under the lock, whose counter the capture thread shares, and sent after it:
    // the send may wait on name resolution, and the capture thread must not.
    std::vector<uint8_t> sealed;
    std::string address;
    int port = -1;
    {
        std::lock_guard lock(m_sendMutex);
        address = m_peerAddress;
        port = m_peerPort;
        if (m_channel) {
            if (!m_channel->Seal(type, payload, length, &sealed))
                return; // the counter is spent: nothing leaves in clear
            type = PKT_SECURE_DATA;
            payload = sealed.data();
            length = static_cast<int>(sealed.size());
        }
    }
    SendPacket(type, payload, length, address, port);
}

void CCallEngine::SendToPeerLocked(uint8_t type, const uint8_t* payload, int length) {
    if (!m_channel) {
        SendPacket(type, payload, length, m_peerAddress, m_peerPort);
        return;
    }
    std::vector<uint8_t> sealed;
    if (m_channel->Seal(type, payload, length, &sealed))
        SendPacket(PKT_SECURE_DATA, sealed.data(), static_cast<int>(sealed.size()), m_peerAddress,
                   m_peerPort);
}

// Each end of a call stops the two timers of the state it is named for, whatever the
// state: a hang-up while calling leaves the time-out and the resend running.
void CCallEngine::EndCall(const std::array<int, 2>& timers, int32_t status) {
    if (IsCallingSecurely() && m_secureOutcome == SECURE_OUTCOME_NONE)
        m_secureOutcome =
            status == STATUS_TIMEOUT ? SECURE_OUTCOME_NO_ANSWER : SECURE_OUTCOME_ENDED;
    ResetCallState();
    StopTimer(timers[0]);
    StopTimer(timers[1]);
    PostStatus(status);
}

bool CCallEngine::RequireInitialized() {
    if (!m_initialized)
        Fail(ERR_NOT_INITIALIZED);
    return m_initialized;
}

CCallEngine::Sender CCallEngine::SenderOf(const std::string& address, int port) const {
    // Addresses, not their spellings: an IPv6 address has several.
    if (m_callState == STATE_CONNECTED)
        return Tavrino::SameAddress(address, m_peerAddress) && port == m_peerPort
                   ? Sender::Peer
                   : Sender::Stranger;
    if (m_callState != STATE_PENDING || port != m_partyPort)
        return Sender::Stranger;
    if (!IsCalling() && !IsCallingSecurely())
        return Tavrino::SameAddress(address, m_partyAddress) ? Sender::AcceptedCaller
                                                             : Sender::Stranger;
    return m_candidates.Contains(address) ? Sender::CalledStation : Sender::Stranger;
}

void CCallEngine::SendRequest(const std::string& address) {
    SendPacket(m_requestType, m_request.data(), static_cast<int>(m_request.size()), address,
               m_peerPort);
}

void CCallEngine::BecomePending() {
    m_callState = STATE_PENDING;
    PostStatus(STATUS_CALLING);
}

void CCallEngine::BecomeConnected(const std::string& address, int port,
                                  std::unique_ptr<CSecureChannel> channel,
                                  std::string confirmedUser) {
    ClearSecureAttempts(); // the call is taken: other callers' attempts go
    m_confirmedUser = std::move(confirmedUser);
    m_secureCaller.reset();
    WipeRequest(); // never sent again
    m_secureCall = channel != nullptr;
    SetChannel(std::move(channel)); // before media: the first frame is already sealed
    StopTimer(TIMER_CALL_TIMEOUT);
    StopTimer(TIMER_RESEND);
    StartTimer(TIMER_KEEPALIVE, kKeepAlivePeriodMs);
    StartTimer(TIMER_SUPERVISION, kSupervisionPeriodMs);
    m_callState = STATE_CONNECTED;
    SetPeer(address, port);
    m_partyAddress.clear(); // the peer speaks for the call from now on
    m_partyPort = -1;
    m_ownToken = CCallToken();
    PostStatus(STATUS_CONNECTED);
    // Last, so the capture thread never sends voice before the peer is in place.
    SetMediaActive(true);
}

// --- Methods -----------------------------------------------------------------------------

bool CCallEngine::Initialize(int32_t port, const std::string& key) {
    {
        std::lock_guard lock(m_sendMutex);
        m_key = key;
    }
    // Never key the cipher with zero bytes: an empty key switches encryption off, and
    // EnableCryptography refuses it until a key is given again.
    if (key.empty())
        m_cryptographyEnabled = false;
    UnInitialize();
    ApplySettings(ControlSettings::FromEnvironment());
    m_busy = false;
    m_notAvailable = false;
    m_ownToken = CCallToken();
    m_acceptedToken = CCallToken();
    m_rejectedToken = CCallToken();
    m_attempts.Reset();
    m_confirmedUser.clear();
    m_secureOutcome = SECURE_OUTCOME_NONE;

    if (!CreateTaskWindow()) {
        UnInitialize();
        Fail(ERR_NOT_INITIALIZED);
        return false;
    }
    if (!OpenSocket(port)) {
        UnInitialize();
        Fail(ERR_SOCKET);
        return false;
    }
    if (const int32_t error = StartMedia(); error != 0) {
        UnInitialize();
        Fail(error);
        return false;
    }
    m_initialized = true;
    return true;
}

void CCallEngine::UnInitialize() {
    Disconnect();
    CloseSocket();
    m_capture.Stop();
    m_decoder.Close();
    ResetCallState();
    m_initialized = false;
    m_stream = nullptr;
    m_playback.Close();
    DestroyTaskWindow();
    m_pendingCalls.Clear();
}

bool CCallEngine::Disconnect() {
    if (!RequireInitialized())
        return false;
    if (m_callState == STATE_CONNECTED) {
        // Media off first, under the lock the capture thread sends under: a frame it is
        // sending leaves before the hang-up, and none follows it.
        SetMediaActive(false);
        SendToPeer(PKT_HANGUP, nullptr, 0);
    }
    if (IsCallingSecurely())
        m_secureOutcome = SECURE_OUTCOME_ENDED;
    ClearSecureAttempts();
    StopTimer(TIMER_CALL_TIMEOUT);
    StopTimer(TIMER_RESEND);
    StopTimer(TIMER_SUPERVISION);
    StopTimer(TIMER_KEEPALIVE);
    ResetCallState();
    return true;
}

bool CCallEngine::RequireIdle() {
    if (!RequireInitialized())
        return false;
    if (m_callState == STATE_CONNECTED) {
        Fail(ERR_ALREADY_CONNECTED);
        return false;
    }
    if (m_callState == STATE_PENDING) {
        Fail(ERR_CALL_PENDING);
        return false;
    }
    return true;
}

bool CCallEngine::Connect(const std::string& address, int32_t port, const std::string& userData,
                          int32_t timeOut) {
    if (!RequireIdle())
        return false;
    CCallToken token;
    if (!CCallToken::Draw(&token)) {
        // A token anyone could guess would let anyone take the call: none is placed.
        qWarning("TavrinoStandard: no call placed, the system's random source failed");
        Fail(ERR_SOCKET);
        return false;
    }
    m_ownToken = token;
    m_requestType = PKT_CALL_REQUEST;
    m_request = BuildCallRequestPayload(UpToFirstZero(userData), m_ownToken);
    PlaceCall(address, port, timeOut);
    return true;
}

bool CCallEngine::ConnectSecure(const std::string& address, int32_t port, const std::string& user,
                                const std::string& password, int32_t timeOut,
                                const std::string& fallbackUserData) {
    if (!RequireIdle())
        return false;
    auto caller = std::make_unique<CSecureCaller>();
    if (!caller->Start(user, password)) {
        Fail(ERR_SECURE_UNAVAILABLE);
        return false;
    }
    m_secureCaller = std::move(caller);
    m_secureCall = true;
    m_secureOutcome = SECURE_OUTCOME_NONE;
    m_secureRequestsSent = 1; // the one PlaceCall sends
    m_fallbackUserData = UpToFirstZero(fallbackUserData);
    m_requestType = PKT_SECURE_REQUEST;
    m_request = m_secureCaller->RequestPayload();
    PlaceCall(address, port, timeOut);
    return true;
}

void CCallEngine::PlaceCall(const std::string& address, int32_t port, int32_t timeOut) {
    ClearSecureAttempts(); // a station that calls out takes no call meanwhile
    // Datagrams show their source as an address, so a name is resolved once here, with
    // a bounded wait (a literal address never asks DNS), and the call's datagrams all
    // go to its addresses: no lookup per resend. An unresolvable name leaves no party
    // and no peer address: nothing can leave, and the call times out.
    m_candidates.Reset(AddressesOf(address));
    m_partyAddress = m_candidates.First();
    m_partyPort = port;
    SetPeer(m_partyAddress, port);
    SendRequest(m_peerAddress);
    StartTimer(TIMER_CALL_TIMEOUT, SecondsToTimerMs(timeOut));
    StartTimer(TIMER_RESEND, kResendPeriodMs);
    if (m_candidates.HasNext())
        StartTimer(TIMER_NEXT_ADDRESS, CCallCandidates::kNextAddressDelayMs);
    BecomePending();
}

void CCallEngine::FallBackToStatedRequest() {
    CCallToken token;
    if (!CCallToken::Draw(&token))
        return; // the encrypted request goes on instead
    m_secureCaller.reset();
    m_secureCall = false;
    m_secureOutcome = SECURE_OUTCOME_FELL_BACK;
    m_ownToken = token;
    m_requestType = PKT_CALL_REQUEST;
    m_request = BuildCallRequestPayload(m_fallbackUserData, m_ownToken);
}

bool CCallEngine::AcceptIncomingCall(const std::string& address, int32_t port, int32_t timeOut) {
    if (!RequireIdle())
        return false;
    CCallToken token;
    // An encrypted request is answered only with the password (AcceptSecureCall).
    if (!m_pendingCalls.TokenOf(address, port, &token)) {
        Fail(ERR_NO_SUCH_CALL);
        return false;
    }
    m_acceptedToken = token;
    m_partyAddress = address;
    m_partyPort = port;
    StartTimer(TIMER_CALL_TIMEOUT, SecondsToTimerMs(timeOut));
    BecomePending();
    const std::vector<uint8_t> payload = BuildTokenPayload(token);
    for (int i = 0; i < kAcceptCopies; ++i)
        SendPacket(PKT_ACCEPT, payload.data(), static_cast<int>(payload.size()), address, port);
    m_pendingCalls.Remove(address, port);
    return true;
}

bool CCallEngine::CancelIncomingCall(const std::string& address, int32_t port) {
    if (!RequireInitialized())
        return false;
    SecureCall::Sid sid{};
    bool send = false;
    if (m_attempts.Refuse(address, port, NowMs(), &sid, &send) == CSecureAttempts::Answer::Done) {
        if (send)
            SendPacket(PKT_SECURE_REJECT, sid.data(), static_cast<int>(sid.size()), address, port);
        return true;
    }
    CCallToken token;
    if (!m_pendingCalls.TokenOf(address, port, &token)) {
        Fail(ERR_NO_SUCH_CALL);
        return false;
    }
    m_rejectedToken = token;
    const std::vector<uint8_t> payload = BuildTokenPayload(token);
    SendPacket(PKT_REJECT, payload.data(), static_cast<int>(payload.size()), address, port);
    m_pendingCalls.Remove(address, port);
    return true;
}

bool CCallEngine::AcceptSecureCall(const std::string& address, int32_t port,
                                   const std::string& password, int32_t timeOut) {
    if (!RequireIdle())
        return false;
    const int64_t now = NowMs();
    std::vector<uint8_t> accept;
    switch (m_attempts.Accept(address, port, password, now + int64_t{SecondsToTimerMs(timeOut)},
                              now, &accept)) {
    case CSecureAttempts::Answer::NoSuchCall:
        Fail(ERR_NO_SUCH_CALL);
        return false;
    case CSecureAttempts::Answer::Failed:
        Fail(ERR_SECURE_UNAVAILABLE);
        return false;
    case CSecureAttempts::Answer::Done:
        break;
    }
    // The control stays idle: a guess that never confirms must not keep others out.
    PostStatus(STATUS_CALLING);
    for (int i = 0; i < kAcceptCopies; ++i)
        SendPacket(PKT_SECURE_ACCEPT, accept.data(), static_cast<int>(accept.size()), address, port);
    return true;
}

int32_t CCallEngine::GetRequestSecurity(const std::string& address, int32_t port) const {
    if (m_attempts.HasPending(address, port))
        return SECURITY_ENCRYPTED;
    return m_pendingCalls.Contains(address, port) ? SECURITY_STATED : SECURITY_NONE;
}

int32_t CCallEngine::GetLocalPort() const {
    return m_initialized ? m_socket->LocalPort() : -1;
}

int32_t CCallEngine::GetCallSecurity() const {
    if (m_callState == STATE_IDLE)
        return SECURITY_NONE;
    return m_secureCall ? SECURITY_ENCRYPTED : SECURITY_STATED;
}

void CCallEngine::ClearSecureAttempts() {
    m_attempts.ClearLive(); // each callee wipes its keys
}

void CCallEngine::ExpireSecureAttempts() {
    // The last unconfirmed attempt ends as a stated acceptance does; it also counts
    // as a failed password for the station, which counted it when it accepted.
    if (m_attempts.Expire(NowMs()) > 0 && m_attempts.AcceptedCount() == 0 &&
        m_callState == STATE_IDLE)
        PostStatus(STATUS_TIMEOUT);
}

bool CCallEngine::SendTextMsg(const std::string& text, const std::string& userData) {
    if (!RequireInitialized())
        return false;
    std::vector<uint8_t> payload = BuildTextPayload(UpToFirstZero(text), UpToFirstZero(userData));
    const int length = static_cast<int>(payload.size());
    if (!m_cryptographyEnabled) {
        SendToPeer(PKT_TEXT, payload.data(), length);
        return true;
    }
    if (m_key.empty())
        return true; // cannot happen (an empty key switches encryption off); never sent in clear
    const std::vector<uint8_t> encrypted = PayloadCipher::Encrypt(m_key, payload.data(), length);
    SendToPeer(PKT_TEXT_ENCRYPTED, encrypted.data(), static_cast<int>(encrypted.size()));
    return true;
}

bool CCallEngine::MuteMic(bool mute) {
    if (!RequireInitialized())
        return false;
    if (!m_capture.SetMute(mute)) {
        Fail(ERR_MIC_DEVICE);
        return false;
    }
    return true;
}

bool CCallEngine::MuteSpk(bool mute) {
    if (!RequireInitialized())
        return false;
    m_playback.SetMute(mute);
    return true;
}

int32_t CCallEngine::GetOutBoundTotalBytes() const {
    return m_initialized ? m_socket->OutboundTotal() : 0;
}

int32_t CCallEngine::GetInBoundTotalBytes() const {
    return m_initialized ? m_socket->InboundTotal() : 0;
}

int32_t CCallEngine::GetOutBoundDataRate() const {
    return m_initialized ? m_socket->OutboundRate() : 0;
}

int32_t CCallEngine::GetInBoundDataRate() const {
    return m_initialized ? m_socket->InboundRate() : 0;
}

bool CCallEngine::EnableCryptography() {
    if (!RequireInitialized())
        return false;
    if (m_key.empty()) {
        Fail(ERR_NO_CRYPTO_KEY);
        return false;
    }
    m_cryptographyEnabled = true;
    return true;
}

bool CCallEngine::DisableCryptography() {
    if (!RequireInitialized())
        return false;
    m_cryptographyEnabled = false;
    return true;
}

bool CCallEngine::EnableVoiceActivityDetection(int32_t sensitivity, int32_t silenceDuration) {
    if (!RequireInitialized())
        return false;
    sensitivity = std::clamp<int32_t>(sensitivity, 0, 255);
    // A silence timer below one second would tick without pause (0 ms) or not at all;
    // one second is the shortest period that keeps the detector meaningful.
    silenceDuration = std::max<int32_t>(silenceDuration, 1);
    StopTimer(TIMER_VAD_SILENCE);
    StartTimer(TIMER_VAD_SILENCE, SecondsToTimerMs(silenceDuration));
    m_capture.SetSensitivity(sensitivity);
    m_detectionEnabled = true;
    return true;
}

// The mixer works without Initialize; only failures write the object error.
bool CCallEngine::SetSpkVolume(int32_t volume) {
    int32_t error = 0;
    const bool ok = MixerSetSpkVolume(volume, &error, AlsaMixerOpener(m_mixerDevice));
    if (!ok)
        Fail(error != 0 ? error : ERR_SPK_MIXER);
    return ok;
}

int32_t CCallEngine::GetSpkVolume() {
    int32_t error = 0;
    const int32_t volume = MixerGetSpkVolume(&error, AlsaMixerOpener(m_mixerDevice));
    if (error != 0)
        Fail(error);
    return volume;
}

bool CCallEngine::SetMicVolume(int32_t volume) {
    int32_t error = 0;
    const bool ok = MixerSetMicVolume(volume, &error, AlsaMixerOpener(m_mixerDevice));
    if (!ok)
        Fail(error != 0 ? error : ERR_MIC_MIXER);
    return ok;
}

int32_t CCallEngine::GetMicVolume() {
    int32_t error = 0;
    const int32_t volume = MixerGetMicVolume(&error, AlsaMixerOpener(m_mixerDevice));
    if (error != 0)
        Fail(error);
    return volume;
}

bool CCallEngine::EnableMicBoost() {
    return MixerEnableMicBoost(AlsaMixerOpener(m_mixerDevice));
}
bool CCallEngine::DisableMicBoost() {
    return MixerDisableMicBoost(AlsaMixerOpener(m_mixerDevice));
}
bool CCallEngine::IsMicBoostEnable() {
    return MixerIsMicBoostEnable(AlsaMixerOpener(m_mixerDevice));
}

// --- Received packets --------------------------------------------------------------------

// A call belongs to its two parties. Apart from call requests, which anyone may send,
// a datagram counts only from the other party: the peer while connected; while
// pending, the station called or the caller accepted. A caller takes an acceptance or
// reject by its own token from any address, so a host that answers from another of
// its addresses still connects; the token, drawn at random, is what nobody else has.
// Its busy, not-available or hang-up from that other address carry nothing of the
// kind and are ignored: such a caller then ends by its own time-out, a slower answer
// but never a stranger's. Whatever else arrives is dropped without a word: a report
// or a log line per datagram would hand a flood to the operator.
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
        HandleCallRequest(address, port, payload, length);
        return;
    }
    const Sender from = SenderOf(address, port);
    // Nothing in clear speaks for an encrypted call, not even from its peer, but the
    // called station's answer that it is busy or not available: that answer comes
    // before any key exists.
    if (m_secureCall && !(IsCallingSecurely() && from == Sender::CalledStation &&
                          (type == PKT_BUSY || type == PKT_NOT_AVAILABLE)))
        return;
    const bool peer = from == Sender::Peer;
    const bool party = from != Sender::Stranger;
    // A caller's first frames may overtake its confirmation.
    const bool voice = peer || from == Sender::AcceptedCaller;
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
        if (voice)
            HandleCallPacket(type, payload, length);
        break;
    case PKT_BUSY:
    case PKT_NOT_AVAILABLE:
        if (!party)
            break;
        EndCall(kCallingTimers, type == PKT_BUSY ? STATUS_REMOTE_BUSY : STATUS_REMOTE_NOT_AVAILABLE);
        break;
    case PKT_CONFIRM:
        if (from == Sender::AcceptedCaller)
            BecomeConnected(address, port);
        break;
    case PKT_ACCEPT:
        if (IsCalling() && ReadToken(payload, length) == m_ownToken) {
            for (int i = 0; i < kConfirmCopies; ++i)
                SendPacket(PKT_CONFIRM, nullptr, 0, address, port);
            BecomeConnected(address, port);
        }
        break;
    case PKT_REJECT:
        if (IsCalling() && ReadToken(payload, length) == m_ownToken) {
            EndCall(kCallingTimers, STATUS_CALL_REJECTED);
        }
        break;
    default:
        break;
    }
}

void CCallEngine::HandleCallPacket(uint8_t type, const uint8_t* payload, int length) {
    switch (type) {
    case PKT_KEEPALIVE:
        m_activitySeen = true;
        break;
    case PKT_TEXT:
        HandleText(payload, length);
        break;
    case PKT_TEXT_ENCRYPTED:
        HandleEncryptedText(payload, length);
        break;
    case PKT_HANGUP:
        EndCall(kConnectedTimers, STATUS_REMOTE_DISCONNECTED);
        break;
    case PKT_VOICE_ENCRYPTED:
        HandleEncryptedVoice(payload, length);
        break;
    case PKT_VOICE:
        HandleVoice(payload, length);
        break;
    default:
        break; // a sealed packet can carry nothing else of the call
    }
}

// --- The encrypted call ------------------------------------------------------------------

// The sid stands in for the stated token: unguessable, it is what lets a caller take
// an accept from any address, and what ties an answer to one attempt.
void CCallEngine::HandleSecurePacket(const std::string& address, int port, uint8_t type,
                                     const uint8_t* payload, int length) {
    SecureCall::Sid sid{};
    switch (type) {
    case PKT_SECURE_REQUEST:
        HandleSecureRequest(address, port, payload, length);
        break;
    case PKT_SECURE_ACCEPT:
        if (IsCallingSecurely())
            HandleSecureAccept(address, port, payload, length);
        break;
    case PKT_SECURE_CONFIRM:
        HandleSecureConfirm(address, port, payload, length);
        break;
    case PKT_SECURE_REJECT:
        if (IsCallingSecurely() && length == SecureCall::kRejectBytes &&
            SecureCall::ReadSid(payload, length, &sid) && sid == m_secureCaller->SessionId()) {
            // Told apart from a wrong password: the host refused this user, or is not
            // answering this address for a while.
            m_secureOutcome = SECURE_OUTCOME_REFUSED;
            EndCall(kCallingTimers, STATUS_CALL_REJECTED);
        }
        break;
    case PKT_SECURE_DATA:
        if (m_callState == STATE_CONNECTED && m_channel)
            HandleSecureData(address, port, payload, length);
        break;
    default:
        break;
    }
}

void CCallEngine::HandleSecureRequest(const std::string& address, int port, const uint8_t* payload,
                                      int length) {
    // Busy and not available answer in clear, as they answer a stated request.
    if (m_busy) {
        SendPacket(PKT_BUSY, nullptr, 0, address, port);
        return;
    }
    if (m_notAvailable) {
        SendPacket(PKT_NOT_AVAILABLE, nullptr, 0, address, port);
        return;
    }
    CSecureCallee::Request request;
    if (!CSecureCallee::ParseRequest(payload, length, &request) ||
        !Cpace::ShareDecodes(request.share))
        return;
    m_pendingCalls.Remove(address, port); // the caller's latest request decides
    const CSecureAttempts::Filed filed = m_attempts.File(address, port, request, NowMs());
    switch (filed.action) {
    case CSecureAttempts::Filing::Announce:
        // Announced like a stated request, without a password: admission stays with the
        // station, which answers with the password it holds.
        PostConnection(address, port, "ID=" + request.user, filed.serial);
        break;
    case CSecureAttempts::Filing::ResendAccept:
        // Its accept may have been lost: one more, to that caller only.
        SendPacket(PKT_SECURE_ACCEPT, filed.accept->data(), static_cast<int>(filed.accept->size()),
                   address, port);
        break;
    case CSecureAttempts::Filing::Quiet:
        break;
    }
}

void CCallEngine::HandleSecureAccept(const std::string& address, int port, const uint8_t* payload,
                                     int length) {
    switch (m_secureCaller->OnAccept(payload, length)) {
    case CSecureCaller::Answer::Ignored:
        return;
    case CSecureCaller::Answer::WrongPassword:
        // Only a station holding this attempt's sid answers it, and its tag says it
        // holds another password for this user.
        m_secureOutcome = SECURE_OUTCOME_PASSWORD_REFUSED;
        EndCall(kCallingTimers, STATUS_CALL_REJECTED);
        return;
    case CSecureCaller::Answer::Accepted:
        break;
    }
    const std::vector<uint8_t> confirm = m_secureCaller->ConfirmPayload();
    std::unique_ptr<CSecureChannel> channel = m_secureCaller->TakeChannel();
    for (int i = 0; i < kConfirmCopies; ++i)
        SendPacket(PKT_SECURE_CONFIRM, confirm.data(), static_cast<int>(confirm.size()), address,
                   port);
    m_secureOutcome = SECURE_OUTCOME_CONNECTED;
    BecomeConnected(address, port, std::move(channel));
}

void CCallEngine::HandleSecureConfirm(const std::string& address, int port, const uint8_t* payload,
                                      int length) {
    if (m_callState == STATE_CONNECTED || IsCalling() || IsCallingSecurely())
        return;
    // Only from the accepted caller's own address and port, and only with the tag that
    // shows it derived the same keys, that is, knew the password.
    std::string user;
    std::unique_ptr<CSecureChannel> channel =
        m_attempts.Confirm(address, port, payload, length, NowMs(), &user);
    if (!channel)
        return;
    BecomeConnected(address, port, std::move(channel), std::move(user));
}

void CCallEngine::HandleSecureData(const std::string& address, int port, const uint8_t* payload,
                                   int length) {
    CSecureChannel::Opened opened;
    if (!m_channel->Open(payload, length, &opened))
        return; // forged, replayed or too old: dropped without a word
    // A peer whose NAT gave it a new address or port is followed there, but only by its
    // newest packet: an old one that took a slower path never moves the call back.
    if (opened.newest && (!Tavrino::SameAddress(address, m_peerAddress) || port != m_peerPort))
        SetPeer(address, port);
    HandleCallPacket(opened.type, opened.payload.data(), static_cast<int>(opened.payload.size()));
}

void CCallEngine::HandleCallRequest(const std::string& address, int port, const uint8_t* payload,
                                    int length) {
    if (m_busy) {
        SendPacket(PKT_BUSY, nullptr, 0, address, port);
        return;
    }
    if (m_notAvailable) {
        SendPacket(PKT_NOT_AVAILABLE, nullptr, 0, address, port);
        return;
    }
    const CallRequest request = ReadCallRequest(payload, length);
    if (request.token == m_acceptedToken || request.token == m_rejectedToken)
        return;
    m_attempts.DropPending(address, port); // the caller's latest request decides
    if (m_pendingCalls.Contains(address, port))
        m_pendingCalls.Refresh(address, port, request.token);
    else
        m_pendingCalls.Add(address, port, request.token);
    PostConnection(address, port, request.userData, 0);
}

void CCallEngine::HandleText(const uint8_t* payload, int length) {
    const TextMessage message = ReadTextMessage(payload, length);
    PostText(message.text, message.userData);
}

void CCallEngine::HandleEncryptedText(const uint8_t* payload, int length) {
    if (!m_cryptographyEnabled) {
        PostStatus(STATUS_ENCRYPTED_DATA);
        return;
    }
    if (m_key.empty())
        return; // cannot happen: an empty key switches encryption off
    const std::vector<uint8_t> plain = PayloadCipher::Decrypt(m_key, payload, length);
    HandleText(plain.data(), static_cast<int>(plain.size()));
}

void CCallEngine::HandleVoice(const uint8_t* payload, int length) {
    if (length != VOICE_FRAME_BYTES)
        return;
    m_activitySeen = true;
    PlayVoiceFrame(payload);
}

void CCallEngine::HandleEncryptedVoice(const uint8_t* payload, int length) {
    if (length != VOICE_FRAME_ENCRYPTED_BYTES)
        return;
    m_activitySeen = true;
    if (!m_cryptographyEnabled) {
        PostStatus(STATUS_ENCRYPTED_DATA);
        return;
    }
    if (m_key.empty())
        return;
    const std::vector<uint8_t> plain = PayloadCipher::Decrypt(m_key, payload, length);
    PlayVoiceFrame(plain.data());
}

// --- Timers ------------------------------------------------------------------------------

void CCallEngine::OnTimerTick(int id) {
    switch (id) {
    case TIMER_RATE:
        m_playback.CheckIdleStreams();
        m_socket->ClosePeriod();
        ExpireSecureAttempts();
        break;
    case TIMER_CALL_TIMEOUT:
        EndCall(kCallingTimers, STATUS_TIMEOUT);
        break;
    case TIMER_SUPERVISION:
        if (m_activitySeen) {
            m_activitySeen = false;
        } else {
            EndCall(kConnectedTimers, STATUS_CONNECTION_LOST);
        }
        break;
    case TIMER_RESEND:
        // A call that may fall back does so once its encrypted requests went unanswered.
        if (IsCallingSecurely() && !m_fallbackUserData.empty() &&
            m_secureRequestsSent >= kSecureRequestsBeforeFallback)
            FallBackToStatedRequest();
        if (m_requestType == PKT_SECURE_REQUEST)
            ++m_secureRequestsSent;
        // Every address brought in; after a reset, the (empty) peer as ever.
        if (m_candidates.Tried().empty())
            SendRequest(m_peerAddress);
        for (const std::string& address : m_candidates.Tried())
            SendRequest(address);
        break;
    case TIMER_NEXT_ADDRESS:
        if ((IsCalling() || IsCallingSecurely()) && m_candidates.HasNext())
            SendRequest(m_candidates.BringInNext());
        if (!(IsCalling() || IsCallingSecurely()) || !m_candidates.HasNext())
            StopTimer(TIMER_NEXT_ADDRESS);
        break;
    case TIMER_KEEPALIVE:
        for (int i = 0; i < kKeepAliveCopies; ++i)
            SendToPeer(PKT_KEEPALIVE, nullptr, 0);
        break;
    case TIMER_PENDING_AGE:
        m_pendingCalls.Age();
        m_attempts.Age(NowMs());
        break;
    case TIMER_VAD_LEVEL:
    case TIMER_VAD_SILENCE:
        m_capture.PostDetectorTick(id);
        break;
    default:
        break;
    }
}

// --- Capture thread ----------------------------------------------------------------------

void CCallEngine::SendVoiceFrame(int silent, const uint8_t* frame, int length) {
    if (silent != 0 && m_detectionEnabled)
        return;
    if (!frame || length <= 0)
        return;
    // Held through the send: Disconnect clears media-active under this lock before the
    // hang-up leaves, so a frame either leaves before the hang-up or not at all.
    std::lock_guard lock(m_sendMutex);
    if (!m_mediaActive)
        return;
    if (!m_cryptographyEnabled) {
        SendToPeerLocked(PKT_VOICE, frame, length);
        return;
    }
    if (m_key.empty())
        return; // never sent unencrypted while encryption is on, never keyed with nothing
    const std::vector<uint8_t> encrypted = PayloadCipher::Encrypt(m_key, frame, length);
    SendToPeerLocked(PKT_VOICE_ENCRYPTED, encrypted.data(), static_cast<int>(encrypted.size()));
}
