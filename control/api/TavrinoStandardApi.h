// SPDX-License-Identifier: GPL-3.0-or-later
// The public face of the voice control TavrinoStandard: what a hosting
// program may include. Dispatch ids, status codes and object errors are part
// of the interface and never change; the stations bind late through
// ITavrinoStandardDispatch::Invoke and never see the control's internals.
#pragma once

#include <QObject>
#include <QVariant>
#include <QtPlugin>

#include <array>
#include <cstring>

namespace Tavrino {

// Dispatch ids of the control's methods. Ids not listed are not assigned.
enum DispId : qint32 {
    DISPID_UNINITIALIZE = 1,
    DISPID_DISCONNECT = 2,
    DISPID_ACCEPT_INCOMING_CALL = 3,
    DISPID_SET_SPK_VOLUME = 4,
    DISPID_GET_SPK_VOLUME = 5,
    DISPID_SET_MIC_VOLUME = 6,
    DISPID_GET_MIC_VOLUME = 7,
    DISPID_CANCEL_INCOMING_CALL = 8,
    DISPID_DISABLE_BUSY_STATE = 9,
    DISPID_ENABLE_BUSY_STATE = 10,
    DISPID_DISABLE_NOT_AVAILABLE_STATE = 11,
    DISPID_ENABLE_NOT_AVAILABLE_STATE = 12,
    DISPID_MUTE_MIC = 13,
    DISPID_MUTE_SPK = 14,
    DISPID_GET_OUTBOUND_TOTAL_BYTES = 15,
    DISPID_GET_INBOUND_TOTAL_BYTES = 16,
    DISPID_GET_OUTBOUND_DATA_RATE = 17,
    DISPID_GET_INBOUND_DATA_RATE = 18,
    DISPID_GET_OBJECT_ERROR = 20,
    DISPID_INITIALIZE = 21,
    DISPID_ENABLE_CRYPTOGRAPHY = 22,
    DISPID_DISABLE_CRYPTOGRAPHY = 23,
    DISPID_ENABLE_MIC_BOOST = 24,
    DISPID_DISABLE_MIC_BOOST = 25,
    DISPID_IS_MIC_BOOST_ENABLE = 26,
    DISPID_CONNECT = 27,
    DISPID_SEND_TEXT_MSG = 28,
    DISPID_ENABLE_VOICE_ACTIVITY_DETECTION = 29,
    DISPID_DISABLE_VOICE_ACTIVITY_DETECTION = 30,
};

// Extensions beyond the 29 methods above, at ids of their own: the audio devices.
// Device settings are "pulse:NAME", "alsa:NAME", "file:PATH.wav", "silence" / "null",
// or "" for the default (the sound server's default device, else ALSA's "default").
// TAVRINO_CAPTURE, TAVRINO_PLAYBACK and TAVRINO_ECHO, when set, still decide.
enum ExtensionDispId : qint32 {
    // () -> string: one line per device, "capture|playback TAB setting TAB description",
    // with " TAB default" after the server's default of its kind.
    DISPID_GET_AUDIO_DEVICES = 101,
    // (setting) -> BOOL: the microphone of the next Initialize; FALSE for a setting no
    // device layer takes.
    DISPID_SET_CAPTURE_DEVICE = 102,
    // (setting) -> BOOL: the speaker of the next Initialize.
    DISPID_SET_PLAYBACK_DEVICE = 103,
    // () -> long: the input level 0..100 (-60..0 dBFS), during a call or a device test.
    DISPID_GET_INPUT_LEVEL = 104,
    // (setting) -> BOOL: records from that microphone for the level alone, until stopped.
    DISPID_START_INPUT_TEST = 105,
    DISPID_STOP_INPUT_TEST = 106,
    // (setting) -> BOOL: a short tone on that speaker.
    DISPID_PLAY_TEST_TONE = 107,
    // (echo, noise) -> BOOL: the echo canceller and noise suppressor of the next
    // Initialize, each -1 automatic, 0 off, 1 on. Noise is suppressed within the
    // canceller, so it needs the canceller on.
    DISPID_SET_AUDIO_PROCESSING = 108,
    // () -> long: the AudioNotice bits gathered since the last call, then cleared.
    DISPID_GET_AUDIO_NOTICES = 109,
};

// Extensions at ids of their own: the encrypted call. Two stations of ours agree on
// it by a password-authenticated key exchange (CPace) keyed by the user name and the
// password they already share: the password never travels, and every packet of the
// call then travels sealed (ChaCha20-Poly1305) with a key per direction. A station
// that does not know these packets ignores them.
enum SecureDispId : qint32 {
    // (ToIP, ToPort, UserName, Password, TimeOut, FallbackUserData) -> BOOL: places an
    // encrypted call, as Connect places a stated one (object errors 10, 11, 12 as there;
    // 21 when the user name cannot travel: empty, longer than 255 bytes, or holding a
    // zero byte). With FallbackUserData empty only encrypted requests ever leave; with
    // it, two requests that get no answer at all (6 s) are followed by the stated
    // request carrying it, and the call goes on unencrypted.
    DISPID_CONNECT_SECURE = 110,
    // (IP, Port, Password, TimeOut) -> BOOL: accepts the encrypted request announced
    // from IP:Port with the password the station holds for its user. Unlike the stated
    // accept it does not make the control pending: other callers are still announced
    // and may be accepted too, and the first one to confirm gets the call; an attempt
    // not confirmed within TimeOut seconds ends silently, except that the last one
    // outstanding posts 50. Object errors: 10; 11 when connected; 12 while a call of
    // ours is out or a stated acceptance waits; 15 when no encrypted request is pending
    // from IP:Port whose announcement has reached the station (a request that replaced
    // the one announced is answered only after its own announcement); 21 when the
    // exchange cannot start. Each attempt is known by IP, Port and its session id: a
    // repeat of it is not announced again, and an accepted attempt's repeats get one
    // more accept at most every 3 s; a new request from IP:Port replaces the attempt
    // there, whose confirmation then no longer counts.
    //
    // CancelIncomingCall refuses an encrypted request as a stated one, with a secure
    // reject: at most one per attempt and one a second to an address (one held back
    // leaves the attempt to be announced again at its next repeat).
    DISPID_ACCEPT_SECURE_CALL = 111,
    // (IP, Port) -> long: the CallSecurity of the request pending from IP:Port.
    DISPID_GET_REQUEST_SECURITY = 112,
    // () -> long: the CallSecurity of the call placed, pending or connected.
    DISPID_GET_CALL_SECURITY = 113,
    // () -> long: the SecureOutcome of the last DISPID_CONNECT_SECURE.
    DISPID_GET_SECURE_OUTCOME = 114,
    // () -> string, long: the connected peer's address and port ("" and -1 without one).
    // An encrypted call follows its peer to a new address or port.
    DISPID_GET_PEER_ADDRESS = 115,
    DISPID_GET_PEER_PORT = 116,
    // () -> long: the UDP port the control is bound to, -1 while not initialised. With
    // Initialize(0) the system picks a free port, which this tells: for programs (and
    // tests) that cannot know a free one in advance.
    DISPID_GET_LOCAL_PORT = 117,
    // () -> string: on the called station, the user name that the encrypted attempt
    // which confirmed the call named, exactly as its request carried it; "" for a stated
    // call and on the calling station. Kept until the next call connects, so it can be
    // read when status 53 arrives: it is whom the station credits, pins and trusts.
    DISPID_GET_CONFIRMED_USER = 118,
    // (BOOL) -> BOOL (always TRUE): whether this station's encrypted requests and accepts
    // from now on offer wideband voice (Opus at 16 kHz in 20 ms frames). Two stations that
    // both offer it speak it for the whole encrypted call; anyone else, and every stated
    // call, gets GSM 06.10. Off until a station switches it on.
    DISPID_SET_WIDEBAND_VOICE = 119,
    // () -> long: the CallVoice of the connected call, known from status 53 on.
    DISPID_GET_CALL_VOICE = 120,
    // () -> string: the figures of the connected call, or of the last one until the next
    // connects; "" before the first. One record line, key=value joined by '&', in this
    // order ("-" where a figure is unknown, as on a stated call for everything the far
    // end would have to report; "in" is what this station receives, "out" what the far
    // end received from it):
    //   duration_s, voice (wideband|narrowband), encrypted (yes|no), reports (yes|no),
    //   bytes_in, bytes_out, bitrate_in_kbps, bitrate_out_kbps (codec bytes, last 5 s),
    //   rtt_ms, loss_in_pct, loss_in_10s_pct, loss_out_pct, loss_out_10s_pct,
    //   jitter_in_ms, jitter_out_ms (RFC 3550 interarrival jitter), buffer_in_ms,
    //   buffer_out_ms (jitter buffer delay), frames_in, frames_out, then for in and out:
    //   concealed_*, concealed_*_pct, recovered_* (by FEC), recovered_*_pct, late_*,
    //   late_*_pct; encoder_loss_pct (the wideband encoder's expected loss), rating and
    //   rating_out (1 to 4.5, see CCallRating). Refreshed once a second.
    DISPID_GET_CALL_STATISTICS = 121,
    // () -> string: the same call in one line, as the stations print it at its end:
    //   call: 3m12s rtt 41 ms loss in 0.4 % out 1.2 % jitter 6 ms concealed 0.3 % rating 4.3
    DISPID_GET_CALL_SUMMARY = 122,
};

enum CallVoice : qint32 {
    VOICE_NONE = -1,       // no call connected
    VOICE_NARROWBAND = 0,  // GSM 06.10, 8 kHz, 120 ms frames
    VOICE_WIDEBAND = 1,    // Opus, 16 kHz, 20 ms frames
};

enum CallSecurity : qint32 {
    SECURITY_NONE = -1,     // no such request, or no call
    SECURITY_STATED = 0,    // not encrypted
    SECURITY_ENCRYPTED = 1, // encrypted
};

enum SecureOutcome : qint32 {
    SECURE_OUTCOME_NONE = 0,             // none placed since Initialize, or still pending
    SECURE_OUTCOME_CONNECTED = 1,        // the host took the password: the call is encrypted
    SECURE_OUTCOME_PASSWORD_REFUSED = 2, // the host did not take this user name and password (57)
    SECURE_OUTCOME_NO_ANSWER = 3,        // no answer at all until the time-out (status 50)
    SECURE_OUTCOME_FELL_BACK = 4,        // no answer, so the stated request went out
    SECURE_OUTCOME_ENDED = 5,            // busy, not available or hung up
    SECURE_OUTCOME_REFUSED = 6,          // a secure reject: the host refused this user, or is
                                         // not answering this address for a while (57)
};

// What happened to the chosen devices (bits of DISPID_GET_AUDIO_NOTICES).
enum AudioNotice : qint32 {
    NOTICE_CAPTURE_MISSING = 1,  // the chosen microphone was missing: the default took its place
    NOTICE_PLAYBACK_MISSING = 2, // the chosen speaker was missing: the default took its place
    NOTICE_CAPTURE_LOST = 4,     // the microphone went away mid-call: the default took its place
    NOTICE_PLAYBACK_LOST = 8,    // the speaker went away mid-call: the default took its place
    NOTICE_SERVER_LOST = 16,     // the sound server went away: silence until the next call
    NOTICE_NO_SERVER = 32,       // no sound server answered: ALSA's default took its place
};

// Dispatch ids of the events (slot order of the event sink).
enum EventId : qint32 {
    EVENTID_ON_STATUS_EVENT = 1,
    EVENTID_ON_TEXT_EVENT = 2,
    EVENTID_ON_CONNECTION_EVENT = 3,
};

// Values of OnStatusEvent.
enum StatusCode : qint32 {
    STATUS_TIMEOUT = 50,
    STATUS_CALLING = 51,
    STATUS_CONNECTION_LOST = 52,
    STATUS_CONNECTED = 53,
    STATUS_REMOTE_DISCONNECTED = 54,
    STATUS_REMOTE_BUSY = 55,
    STATUS_REMOTE_NOT_AVAILABLE = 56,
    STATUS_CALL_REJECTED = 57,
    STATUS_ENCRYPTED_DATA = 58,
};

// Values of GetObjectError. 17 is not used; 21 only by the encrypted-call methods.
enum ObjectError : qint32 {
    ERR_NOT_INITIALIZED = 10,
    ERR_ALREADY_CONNECTED = 11,
    ERR_CALL_PENDING = 12,
    ERR_MIC_DEVICE = 13,
    ERR_SOUND_DEVICE = 14,
    ERR_NO_SUCH_CALL = 15,
    ERR_SOCKET = 16,
    ERR_NO_CRYPTO_KEY = 18,
    ERR_MIC_MIXER = 19,
    ERR_SPK_MIXER = 20,
    ERR_SECURE_UNAVAILABLE = 21, // an encrypted call cannot be set up (see DISPID_CONNECT_SECURE)
};

// One row of the method table. `params` has one letter per argument:
// 'l' long (32-bit), 's' string, 'b' BOOL. `result` is 'b' BOOL, 'l' long or
// 'v' for a method without result.
struct MethodInfo {
    qint32 dispid;
    const char* name;
    const char* params;
    char result;
};

inline constexpr std::array<MethodInfo, 29> kMethods{{
    {DISPID_UNINITIALIZE, "UnInitialize", "", 'v'},
    {DISPID_DISCONNECT, "Disconnect", "", 'b'},
    {DISPID_ACCEPT_INCOMING_CALL, "AcceptIncomingCall", "sll", 'b'},
    {DISPID_SET_SPK_VOLUME, "SetSpkVolume", "l", 'b'},
    {DISPID_GET_SPK_VOLUME, "GetSpkVolume", "", 'l'},
    {DISPID_SET_MIC_VOLUME, "SetMicVolume", "l", 'b'},
    {DISPID_GET_MIC_VOLUME, "GetMicVolume", "", 'l'},
    {DISPID_CANCEL_INCOMING_CALL, "CancelIncomingCall", "sl", 'b'},
    {DISPID_DISABLE_BUSY_STATE, "DisableBusyState", "", 'v'},
    {DISPID_ENABLE_BUSY_STATE, "EnableBusyState", "", 'v'},
    {DISPID_DISABLE_NOT_AVAILABLE_STATE, "DisableNotAvailableState", "", 'v'},
    {DISPID_ENABLE_NOT_AVAILABLE_STATE, "EnableNotAvailableState", "", 'v'},
    {DISPID_MUTE_MIC, "MuteMic", "b", 'b'},
    {DISPID_MUTE_SPK, "MuteSpk", "b", 'b'},
    {DISPID_GET_OUTBOUND_TOTAL_BYTES, "GetOutBoundTotalBytes", "", 'l'},
    {DISPID_GET_INBOUND_TOTAL_BYTES, "GetInBoundTotalBytes", "", 'l'},
    {DISPID_GET_OUTBOUND_DATA_RATE, "GetOutBoundDataRate", "", 'l'},
    {DISPID_GET_INBOUND_DATA_RATE, "GetInBoundDataRate", "", 'l'},
    {DISPID_GET_OBJECT_ERROR, "GetObjectError", "", 'l'},
    {DISPID_INITIALIZE, "Initialize", "ls", 'b'},
    {DISPID_ENABLE_CRYPTOGRAPHY, "EnableCryptography", "", 'b'},
    {DISPID_DISABLE_CRYPTOGRAPHY, "DisableCryptography", "", 'b'},
    {DISPID_ENABLE_MIC_BOOST, "EnableMicBoost", "", 'b'},
    {DISPID_DISABLE_MIC_BOOST, "DisableMicBoost", "", 'b'},
    {DISPID_IS_MIC_BOOST_ENABLE, "IsMicBoostEnable", "", 'b'},
    {DISPID_CONNECT, "Connect", "slsl", 'b'},
    {DISPID_SEND_TEXT_MSG, "SendTextMsg", "ss", 'b'},
    {DISPID_ENABLE_VOICE_ACTIVITY_DETECTION, "EnableVoiceActivityDetection", "ll", 'b'},
    {DISPID_DISABLE_VOICE_ACTIVITY_DETECTION, "DisableVoiceActivityDetection", "", 'v'},
}};

// Result 's' (string) is used by extensions only.
inline constexpr std::array<MethodInfo, 9> kExtensionMethods{{
    {DISPID_GET_AUDIO_DEVICES, "GetAudioDevices", "", 's'},
    {DISPID_SET_CAPTURE_DEVICE, "SetCaptureDevice", "s", 'b'},
    {DISPID_SET_PLAYBACK_DEVICE, "SetPlaybackDevice", "s", 'b'},
    {DISPID_GET_INPUT_LEVEL, "GetInputLevel", "", 'l'},
    {DISPID_START_INPUT_TEST, "StartInputTest", "s", 'b'},
    {DISPID_STOP_INPUT_TEST, "StopInputTest", "", 'v'},
    {DISPID_PLAY_TEST_TONE, "PlayTestTone", "s", 'b'},
    {DISPID_SET_AUDIO_PROCESSING, "SetAudioProcessing", "ll", 'b'},
    {DISPID_GET_AUDIO_NOTICES, "GetAudioNotices", "", 'l'},
}};

// Extensions served by the call engine, like the fixed methods.
inline constexpr std::array<MethodInfo, 13> kCallMethods{{
    {DISPID_CONNECT_SECURE, "ConnectSecure", "slssls", 'b'},
    {DISPID_ACCEPT_SECURE_CALL, "AcceptSecureCall", "slsl", 'b'},
    {DISPID_GET_REQUEST_SECURITY, "GetRequestSecurity", "sl", 'l'},
    {DISPID_GET_CALL_SECURITY, "GetCallSecurity", "", 'l'},
    {DISPID_GET_SECURE_OUTCOME, "GetSecureOutcome", "", 'l'},
    {DISPID_GET_PEER_ADDRESS, "GetPeerAddress", "", 's'},
    {DISPID_GET_PEER_PORT, "GetPeerPort", "", 'l'},
    {DISPID_GET_LOCAL_PORT, "GetLocalPort", "", 'l'},
    {DISPID_GET_CONFIRMED_USER, "GetConfirmedUser", "", 's'},
    {DISPID_SET_WIDEBAND_VOICE, "SetWidebandVoice", "b", 'b'},
    {DISPID_GET_CALL_VOICE, "GetCallVoice", "", 'l'},
    {DISPID_GET_CALL_STATISTICS, "GetCallStatistics", "", 's'},
    {DISPID_GET_CALL_SUMMARY, "GetCallSummary", "", 's'},
}};

template <std::size_t N>
inline const MethodInfo* FindMethodIn(const std::array<MethodInfo, N>& table, qint32 dispid) {
    for (const auto& m : table)
        if (m.dispid == dispid)
            return &m;
    return nullptr;
}

// The fixed methods and the extensions alike.
inline const MethodInfo* FindMethod(qint32 dispid) {
    if (const MethodInfo* m = FindMethodIn(kMethods, dispid))
        return m;
    if (const MethodInfo* m = FindMethodIn(kExtensionMethods, dispid))
        return m;
    return FindMethodIn(kCallMethods, dispid);
}

inline const MethodInfo* FindMethod(const char* name) {
    for (const auto& m : kMethods)
        if (std::strcmp(m.name, name) == 0)
            return &m;
    return nullptr;
}

// Signatures of the control's three signals, for connecting by name as a
// late-binding host does.
inline constexpr const char* kOnStatusEventSignal = "OnStatusEvent(qint32)";
inline constexpr const char* kOnTextEventSignal = "OnTextEvent(QString,QString)";
inline constexpr const char* kOnConnectionEventSignal = "OnConnectionEvent(QString,qint32,QString)";
// Beyond the three: the audio notices (AudioNotice bits) as they happen.
inline constexpr const char* kOnAudioNoticeSignal = "OnAudioNotice(qint32)";

// File name of the control module in the programs' folder.
inline constexpr const char* kPluginFileName = "TAVRINOSTANDARD.so";

} // namespace Tavrino

// Late-bound entry of a control. A BOOL result comes back as a bool QVariant,
// a long as qint32, a method without result as an invalid QVariant. A wrong
// dispatch id, a wrong argument count or an argument that cannot be coerced
// also gives an invalid QVariant and sets `*ok` (when given) to false.
class ITavrinoStandardDispatch {
public:
    virtual ~ITavrinoStandardDispatch() = default;
    virtual QVariant Invoke(qint32 dispid, const QVariantList& args, bool* ok = nullptr) = 0;
};

// The plugin's root object. CreateControl returns a new control (a QObject
// that implements ITavrinoStandardDispatch and carries the three signals),
// owned by `parent` or, without one, by the caller.
class ITavrinoStandardFactory {
public:
    virtual ~ITavrinoStandardFactory() = default;
    virtual QObject* CreateControl(QObject* parent) = 0;
};

#define ITavrinoStandardDispatch_iid "com.halvorn.TavrinoStandard.Dispatch/1.0"
#define ITavrinoStandardFactory_iid "com.halvorn.TavrinoStandard.Factory/1.0"
Q_DECLARE_INTERFACE(ITavrinoStandardDispatch, ITavrinoStandardDispatch_iid)
Q_DECLARE_INTERFACE(ITavrinoStandardFactory, ITavrinoStandardFactory_iid)
