// SPDX-License-Identifier: GPL-3.0-or-later
// CCallEngine: the call state machine of the voice control and the owner of its socket and media.
#pragma once

#include "CAcmCodec.h"
#include "CCallCandidates.h"
#include "CCallToken.h"
#include "CCaptureHolder.h"
#include "CPendingCallList.h"
#include "CPlaybackDevice.h"
#include "CSecureAttempts.h"
#include "CSecureCallee.h"
#include "CSecureCaller.h"
#include "CSecureChannel.h"
#include "CTaskWnd.h"
#include "ICallEventSink.h"
#include "IVoiceFrameSink.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CCallSocket;
class CPlaybackStream;
struct ControlSettings;

// Threads: the engine lives on the control's thread, and everything but SendVoiceFrame
// runs there: the methods, OnPacket (socket notifications) and OnTimerTick (task
// window). Reports go from the task window to the sink without passing through the
// engine, so a host that uninitialises or destroys the control from its event handler
// never returns into the engine. SendVoiceFrame runs on the capture thread. What it reads is
// made safe as follows: detection enabled and cryptography enabled are atomics; media
// active, the peer address, peer port and key are written under m_sendMutex, and the
// capture thread holds the same lock from its check of media active through its send
// (so nothing follows a hang-up). The channel of an encrypted call is set and dropped
// under the same lock, which also keeps its sealing counter to one thread at a time;
// its opening side is the control's thread's alone. The socket's Send is thread-safe.
// Everything else is touched by the control's thread only.
//
// The engine reaches its platform through a few protected virtual seams (send a
// datagram, start or stop timer N, post a report, bring the socket, task window and
// media up and down, play a received frame). Tests override them to drive the state
// machine at full speed; a subclass that does so must call UnInitialize() in its own
// destructor, because the base destructor can no longer reach the overrides.
class CCallEngine : public IVoiceFrameSink {
public:
    enum CallState : int32_t { STATE_IDLE = 0, STATE_PENDING = 121, STATE_CONNECTED = 122 };

    static constexpr int kResendPeriodMs = 3000;
    static constexpr int kKeepAlivePeriodMs = 3000;
    static constexpr int kSupervisionPeriodMs = 15000;
    static constexpr int kAcceptCopies = 5;
    static constexpr int kConfirmCopies = 5;
    static constexpr int kKeepAliveCopies = 3;
    // Encrypted requests that get no answer at all before a call that may fall back
    // sends the stated request: 6 s, at the resend period.
    static constexpr int kSecureRequestsBeforeFallback = 2;
    // Encrypted attempts accepted and awaiting their confirmation at once; a flood of
    // accepted guesses cannot grow it (the oldest goes).
    static constexpr std::size_t kMaxSecureAttempts = CSecureAttempts::kMaxAccepted;

    explicit CCallEngine(ICallEventSink* sink = nullptr);
    ~CCallEngine() override;
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
    int32_t GetRequestSecurity(const std::string& address, int32_t port) const;
    int32_t GetCallSecurity() const;
    int32_t GetSecureOutcome() const { return m_secureOutcome; }
    std::string GetConfirmedUser() const { return m_confirmedUser; }
    std::string GetPeerAddress() const { return m_peerAddress; }
    int32_t GetPeerPort() const { return m_peerPort; }
    int32_t GetLocalPort() const;
    void EnableBusyState() { m_busy = true; }
    void DisableBusyState() { m_busy = false; }
    void EnableNotAvailableState() { m_notAvailable = true; }
    void DisableNotAvailableState() { m_notAvailable = false; }
    bool MuteMic(bool mute);
    bool MuteSpk(bool mute);
    int32_t GetOutBoundTotalBytes() const;
    int32_t GetInBoundTotalBytes() const;
    int32_t GetOutBoundDataRate() const;
    int32_t GetInBoundDataRate() const;
    int32_t GetObjectError() const { return m_objectError; }
    bool EnableCryptography();
    bool DisableCryptography();
    bool EnableVoiceActivityDetection(int32_t sensitivity, int32_t silenceDuration);
    void DisableVoiceActivityDetection() { m_detectionEnabled = false; }
    bool SetSpkVolume(int32_t volume);
    int32_t GetSpkVolume();
    bool SetMicVolume(int32_t volume);
    int32_t GetMicVolume();
    bool EnableMicBoost();
    bool DisableMicBoost();
    bool IsMicBoostEnable();

    // One received datagram (type byte split off), from the socket.
    void OnPacket(const std::string& address, int port, uint8_t type, const uint8_t* payload,
                  int length);

    // One tick of timer `id`, from the task window.
    void OnTimerTick(int id);

    // IVoiceFrameSink: capture thread.
    void SendVoiceFrame(int silent, const uint8_t* frame, int length) override;

    // Read-only views for diagnostics and tests (control's thread).
    int32_t State() const { return m_callState; }
    bool IsInitialized() const { return m_initialized; }
    bool IsBusy() const { return m_busy; }
    bool IsNotAvailable() const { return m_notAvailable; }
    bool IsMediaActive() const { return m_mediaActive; }
    bool IsCryptographyEnabled() const { return m_cryptographyEnabled; }
    bool IsVoiceActivityDetectionEnabled() const { return m_detectionEnabled; }
    bool ActivitySeen() const { return m_activitySeen; }
    const std::string& PeerAddress() const { return m_peerAddress; }
    int32_t PeerPort() const { return m_peerPort; }
    // While pending, the only sender that speaks for the call besides a matching
    // acceptance: the station called (its address resolved) or the caller accepted.
    const std::string& PartyAddress() const { return m_partyAddress; }
    int32_t PartyPort() const { return m_partyPort; }
    const CCallToken& OwnToken() const { return m_ownToken; }
    const CCallToken& AcceptedToken() const { return m_acceptedToken; }
    const CCallToken& RejectedToken() const { return m_rejectedToken; }
    const CPendingCallList& PendingCalls() const { return m_pendingCalls; }
    std::size_t SecureAttempts() const { return m_attempts.AcceptedCount(); }
    std::size_t PendingSecureRequests() const { return m_attempts.PendingCount(); }
    CCallSocket* Socket() const { return m_socket.get(); }

    // Milliseconds for a timer of `seconds`, kept inside what a timer can take.
    static int SecondsToTimerMs(int32_t seconds);

protected:
    // Seams. The defaults use the task window, the socket and the media objects.
    virtual bool CreateTaskWindow();
    virtual void DestroyTaskWindow();
    virtual bool OpenSocket(int port);
    virtual void CloseSocket();
    // Initialisation steps 6..9; 0 on success, else the object error to record.
    virtual int32_t StartMedia();
    // Must be safe on the capture thread as well as on the control's thread.
    virtual void SendPacket(uint8_t type, const uint8_t* payload, int length,
                            const std::string& address, int port);
    virtual void StartTimer(int id, int periodMs);
    virtual void StopTimer(int id);
    virtual void PostStatus(int32_t code);
    virtual void PostText(const std::string& text, const std::string& userData);
    // `attempt` names an encrypted attempt's announcement (0 for a stated request): the
    // platform reports through AnnouncementDelivered whether it reached the station.
    virtual void PostConnection(const std::string& address, int32_t port,
                                const std::string& userData, uint64_t attempt);
    // The announcement of `attempt` was handed to the station (or dropped on its way).
    void AnnouncementDelivered(uint64_t attempt, bool delivered);
    // One accepted 195-byte GSM frame: decode, queue and play.
    virtual void PlayVoiceFrame(const uint8_t* frame);
    // Milliseconds of a clock that never goes back; the encrypted attempts' deadlines.
    virtual int64_t NowMs() const;
    // The addresses a call to `address` goes to, in order (CUdpSocket::AddressesOf).
    virtual std::vector<std::string> AddressesOf(const std::string& address);

private:
    // Who a received datagram comes from, as far as the call is concerned.
    enum class Sender { Stranger, Peer, CalledStation, AcceptedCaller };
    Sender SenderOf(const std::string& address, int port) const;
    bool IsCalling() const { return m_callState == STATE_PENDING && !m_ownToken.IsZero(); }
    bool IsCallingSecurely() const { return m_callState == STATE_PENDING && m_secureCaller; }

    // The environment's settings, handed to the socket, the media and the mixer; the
    // devices and socket take them when they next open.
    void ApplySettings(const ControlSettings& settings);
    void ResetCallState();
    // Ends the call without a word to the other party: reset, `timers` stopped, `status` posted.
    void EndCall(const std::array<int, 2>& timers, int32_t status);
    static constexpr std::array<int, 2> kCallingTimers{TIMER_CALL_TIMEOUT, TIMER_RESEND};
    static constexpr std::array<int, 2> kConnectedTimers{TIMER_SUPERVISION, TIMER_KEEPALIVE};
    // False, with the object error set, while not initialised.
    bool RequireInitialized();
    void SendRequest(const std::string& address); // the stored call request, to the peer port
    void BecomePending();
    // With a channel the call is encrypted from now on; `confirmedUser` is the user the
    // confirming attempt named, when this station was called.
    void BecomeConnected(const std::string& address, int port,
                         std::unique_ptr<CSecureChannel> channel = nullptr,
                         std::string confirmedUser = {});
    // Keep-alive, hang-up and text to the peer: sealed during an encrypted call.
    void SendToPeer(uint8_t type, const uint8_t* payload, int length);
    // Sends one stated packet of the call (sealed when `m_channel` is set); the caller
    // holds m_sendMutex.
    void SendToPeerLocked(uint8_t type, const uint8_t* payload, int length);
    // False, with the object error set, unless a call may be placed or accepted now.
    bool RequireIdle();
    // Sends m_request to the station called and becomes pending.
    void PlaceCall(const std::string& address, int32_t port, int32_t timeOut);
    void FallBackToStatedRequest();
    void SetChannel(std::unique_ptr<CSecureChannel> channel);
    void SetPeer(const std::string& address, int32_t port);
    void SetMediaActive(bool active);
    void Fail(int32_t error) { m_objectError = error; }
    void HandleCallRequest(const std::string& address, int port, const uint8_t* payload,
                           int length);
    void HandleText(const uint8_t* payload, int length);
    void HandleEncryptedText(const uint8_t* payload, int length);
    void HandleVoice(const uint8_t* payload, int length);
    void HandleEncryptedVoice(const uint8_t* payload, int length);
    // One stated packet of the call, from the peer or opened from a sealed one.
    void HandleCallPacket(uint8_t type, const uint8_t* payload, int length);
    void HandleSecurePacket(const std::string& address, int port, uint8_t type,
                            const uint8_t* payload, int length);
    void HandleSecureRequest(const std::string& address, int port, const uint8_t* payload,
                             int length);
    void HandleSecureAccept(const std::string& address, int port, const uint8_t* payload,
                            int length);
    void HandleSecureConfirm(const std::string& address, int port, const uint8_t* payload,
                             int length);
    void HandleSecureData(const std::string& address, int port, const uint8_t* payload,
                          int length);
    void ExpireSecureAttempts();
    void ClearSecureAttempts();
    // What a call leaves behind that holds the password: the stated request and the
    // fallback user data.
    void WipeRequest();
    ICallEventSink* m_sink;
    CPlaybackDevice m_playback;
    std::unique_ptr<CTaskWnd> m_taskWnd;
    std::unique_ptr<CCallSocket> m_socket;
    std::vector<uint8_t> m_request; // payload of the last call request sent
    uint8_t m_requestType = 1;      // and its type: stated (1) or encrypted (20)
    CAcmCodec m_decoder;
    CPendingCallList m_pendingCalls;
    std::string m_mixerDevice; // the control's TAVRINO_MIXER; empty: the default

    mutable std::mutex m_sendMutex; // peer and key, as read by the capture thread
    std::string m_peerAddress;
    int32_t m_peerPort = -1;
    std::string m_key;

    // The call's other party while pending (see PartyAddress); empty and -1 otherwise.
    std::string m_partyAddress;
    int32_t m_partyPort = -1;
    // While calling: the called station's addresses; the party is the first of them.
    CCallCandidates m_candidates;

    std::atomic<bool> m_detectionEnabled{false};
    CPlaybackStream* m_stream = nullptr; // owned by m_playback
    std::atomic<bool> m_cryptographyEnabled{false};
    CCallToken m_ownToken;
    CCallToken m_acceptedToken;
    CCallToken m_rejectedToken;
    int32_t m_objectError = 0;
    bool m_activitySeen = true;
    int32_t m_callState = STATE_IDLE;
    bool m_initialized = false;
    std::atomic<bool> m_mediaActive{false};
    bool m_busy = false;
    bool m_notAvailable = false;

    // The encrypted call. Caller: the attempt while our request is out, the stated user
    // data it may fall back to (empty: never) and the requests sent so far.
    std::unique_ptr<CSecureCaller> m_secureCaller;
    std::string m_fallbackUserData;
    int m_secureRequestsSent = 0;
    int32_t m_secureOutcome = 0; // SecureOutcome of the last ConnectSecure
    // Callee: the encrypted attempts, pending and accepted; the first to confirm wins.
    CSecureAttempts m_attempts;
    // The user the confirming attempt named; kept until the next call connects.
    std::string m_confirmedUser;
    // The call is encrypted: placed securely (and not fallen back), or connected with a
    // channel. Then nothing in clear counts but a busy or not-available answer.
    bool m_secureCall = false;
    std::unique_ptr<CSecureChannel> m_channel; // set and dropped under m_sendMutex

    // Last, so destroyed first: the capture thread it runs sends through the socket, the
    // peer, the key and the flags above, which must outlive it.
    CCaptureHolder m_capture;
};
