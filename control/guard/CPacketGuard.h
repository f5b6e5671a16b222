// SPDX-License-Identifier: GPL-3.0-or-later
// CPacketGuard: what every packet of a call passes on its way to and from the peer: in clear,
// with a Blowfish payload, or sealed in the call's encrypted channel.
#pragma once

#include "CSecureChannel.h"
#include "IPacketTransport.h"
#include "IVoiceFrameSink.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The three kinds stack as the wire has them: the Blowfish payload cipher of the stated
// calls (text and voice only, when the station switched it on and gave a key), and the
// sealed channel of an encrypted call, inside which every stated packet travels as the
// plaintext of a type-24 datagram. The call state machine hands stated packets in and
// gets stated packets out; which kind is in force is this object's business.
//
// Threads: the peer, the media-active flag, the channel and the Blowfish key and switch
// are written on the control's thread under m_mutex; the capture thread sends voice
// holding the same lock from its check of media active through its send, so nothing
// follows a hang-up and the channel's sealing counter is used by one thread at a time.
// Opening (the receive side of the channel) is the control's thread's alone.
class CPacketGuard : public IVoiceFrameSink {
public:
    explicit CPacketGuard(IPacketTransport& transport);
    ~CPacketGuard() override;
    CPacketGuard(const CPacketGuard&) = delete;
    CPacketGuard& operator=(const CPacketGuard&) = delete;

    void SetPeer(const std::string& address, int port);
    std::string PeerAddress() const;
    int PeerPort() const;
    // Voice leaves only while the call is connected.
    void SetMediaActive(bool active);
    bool IsMediaActive() const;
    // The Blowfish key (the Initialize key; empty switches the cipher off for good until
    // a key is given again) and its switch.
    void SetKey(const std::string& key);
    bool HasKey() const;
    void SetCipher(bool on);
    bool IsCipherOn() const;
    // From now on everything travels sealed in `channel`; null: in clear again. The old
    // channel wipes its keys. `wideband`: the call agreed on wideband voice, which is sent
    // and read only then.
    void Seal(std::unique_ptr<CSecureChannel> channel, bool wideband = false);
    bool IsSealed() const;

    // A stated packet to the peer (keep-alive, hang-up): sealed when the call is. Safe
    // from any thread; the send happens outside the lock (it may wait on name
    // resolution, and the capture thread must not).
    void SendToPeer(uint8_t type, const uint8_t* payload = nullptr, int length = 0);
    // A text message: with a Blowfish payload when the cipher is on, then as the call goes.
    void SendText(const std::string& text, const std::string& userData);
    // IVoiceFrameSink (capture thread): a GSM frame while media is active, ciphered when
    // the cipher is on (never in clear then), sealed when the call is.
    void SendVoiceFrame(const uint8_t* frame, int length) override;
    // Voice frames sent since the last call of this (any kind), and their codec bytes.
    struct VoiceSent {
        int frames = 0;
        int bytes = 0;
    };
    VoiceSent TakeVoiceSent();
    // A wideband frame: sealed only (a call in clear never carries one), as inner type 30.
    void SendWidebandFrame(uint16_t seq, const uint8_t* packet, int length) override;

    // A type-24 payload from `address`:`port`: the stated packet it carries. A peer whose
    // NAT gave it a new address or port is followed there, but only by its newest packet:
    // an old one that took a slower path never moves the call back. False for anything
    // that does not open, or when the call is not sealed.
    struct Opened {
        uint8_t type = 0;
        std::vector<uint8_t> payload;
        uint64_t counter = 0; // the sealing side's counter
    };
    bool Open(const std::string& address, int port, const uint8_t* payload, int length,
              Opened* out);

    // A text or voice packet of the call as it arrived (or came out of the channel): its
    // plain content.
    struct Content {
        enum Kind { Nothing, Text, Voice, WidebandVoice, Ciphered } kind = Nothing;
        bool activity = false;       // a voice packet of the right size: the peer is there
        std::string text, userData;  // Text
        std::vector<uint8_t> frame;  // Voice: the GSM frame; WidebandVoice: seq and Opus
    };
    Content Read(uint8_t type, const uint8_t* payload, int length) const;

private:
    // Sends one stated packet of the call, sealed when m_channel is set; the caller holds
    // m_mutex.
    void SendLocked(uint8_t type, const uint8_t* payload, int length);

    IPacketTransport& m_transport;
    mutable std::mutex m_mutex;
    std::string m_peerAddress;                 // guarded
    int m_peerPort = -1;                       // guarded
    bool m_mediaActive = false;                // guarded
    std::string m_key;                         // guarded
    bool m_cipherOn = false;                   // guarded
    bool m_wideband = false;                   // guarded; only with m_channel
    VoiceSent m_voiceSent;                     // guarded
    std::unique_ptr<CSecureChannel> m_channel; // guarded (its opening side: control's thread)
};
