// SPDX-License-Identifier: GPL-3.0-or-later
// CPacketGuard: what every packet of a call passes on its way to and from the peer.
#include "CPacketGuard.h"

#include "Packets.h"
#include "PayloadCipher.h"
#include "SecretBytes.h"
#include "WidebandFrame.h"

#include <cstring>

#include <utility>

CPacketGuard::CPacketGuard(IPacketTransport& transport) : m_transport(transport) {}

CPacketGuard::~CPacketGuard() {
    WipeSecret(m_key.data(), m_key.size());
}

void CPacketGuard::SetPeer(const std::string& address, int port) {
    std::lock_guard lock(m_mutex);
    m_peerAddress = address;
    m_peerPort = port;
}

std::string CPacketGuard::PeerAddress() const {
    std::lock_guard lock(m_mutex);
    return m_peerAddress;
}

int CPacketGuard::PeerPort() const {
    std::lock_guard lock(m_mutex);
    return m_peerPort;
}

void CPacketGuard::SetMediaActive(bool active) {
    std::lock_guard lock(m_mutex);
    m_mediaActive = active;
}

bool CPacketGuard::IsMediaActive() const {
    std::lock_guard lock(m_mutex);
    return m_mediaActive;
}

void CPacketGuard::SetKey(const std::string& key) {
    std::lock_guard lock(m_mutex);
    WipeSecret(m_key.data(), m_key.size());
    m_key = key;
    // Never key the cipher with zero bytes: an empty key switches it off.
    if (m_key.empty())
        m_cipherOn = false;
}

bool CPacketGuard::HasKey() const {
    std::lock_guard lock(m_mutex);
    return !m_key.empty();
}

void CPacketGuard::SetCipher(bool on) {
    std::lock_guard lock(m_mutex);
    m_cipherOn = on && !m_key.empty();
}

bool CPacketGuard::IsCipherOn() const {
    std::lock_guard lock(m_mutex);
    return m_cipherOn;
}

void CPacketGuard::Seal(std::unique_ptr<CSecureChannel> channel, bool wideband) {
    std::unique_ptr<CSecureChannel> old;
    {
        std::lock_guard lock(m_mutex);
        m_wideband = wideband && channel != nullptr;
        old = std::exchange(m_channel, std::move(channel));
    }
    // `old` wipes its keys here, outside the lock.
}

bool CPacketGuard::IsSealed() const {
    std::lock_guard lock(m_mutex);
    return m_channel != nullptr;
}

void CPacketGuard::SendLocked(uint8_t type, const uint8_t* payload, int length) {
    if (!m_channel) {
        m_transport.Send(type, payload, length, m_peerAddress, m_peerPort);
        return;
    }
    std::vector<uint8_t> sealed;
    if (m_channel->Seal(type, payload, length, &sealed)) // a spent counter sends nothing in clear
        m_transport.Send(PKT_SECURE_DATA, sealed.data(), static_cast<int>(sealed.size()),
                         m_peerAddress, m_peerPort);
}

void CPacketGuard::SendToPeer(uint8_t type, const uint8_t* payload, int length) {
    // Sealed under the lock, whose counter the capture thread shares, and sent after it.
    std::vector<uint8_t> sealed;
    std::string address;
    int port = -1;
    {
        std::lock_guard lock(m_mutex);
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
    m_transport.Send(type, payload, length, address, port);
}

void CPacketGuard::SendText(const std::string& text, const std::string& userData) {
    std::vector<uint8_t> payload = BuildTextPayload(text, userData);
    std::string key;
    {
        std::lock_guard lock(m_mutex);
        if (m_cipherOn)
            key = m_key;
    }
    if (key.empty()) {
        SendToPeer(PKT_TEXT, payload.data(), static_cast<int>(payload.size()));
        return;
    }
    const std::vector<uint8_t> encrypted =
        PayloadCipher::Encrypt(key, payload.data(), static_cast<int>(payload.size()));
    WipeSecret(key.data(), key.size());
    SendToPeer(PKT_TEXT_ENCRYPTED, encrypted.data(), static_cast<int>(encrypted.size()));
}

void CPacketGuard::SendVoiceFrame(const uint8_t* frame, int length) {
    if (!frame || length <= 0)
        return;
    // Held through the send: a hang-up clears media-active under this lock before it
    // leaves, so a frame either leaves before the hang-up or not at all.
    std::lock_guard lock(m_mutex);
    if (!m_mediaActive)
        return;
    ++m_voiceSent.frames;
    m_voiceSent.bytes += length;
    if (!m_cipherOn) {
        SendLocked(PKT_VOICE, frame, length);
        return;
    }
    const std::vector<uint8_t> encrypted = PayloadCipher::Encrypt(m_key, frame, length);
    SendLocked(PKT_VOICE_ENCRYPTED, encrypted.data(), static_cast<int>(encrypted.size()));
}

void CPacketGuard::SendWidebandFrame(uint16_t seq, const uint8_t* packet, int length) {
    if (packet == nullptr || length <= 0)
        return;
    uint8_t inner[WIDEBAND_SEQ_BYTES + WidebandFrame::kMaxOpusBytes];
    if (length > WidebandFrame::kMaxOpusBytes)
        return;
    inner[0] = static_cast<uint8_t>(seq & 0xff);
    inner[1] = static_cast<uint8_t>(seq >> 8);
    std::memcpy(inner + WIDEBAND_SEQ_BYTES, packet, static_cast<size_t>(length));
    std::lock_guard lock(m_mutex);
    if (!m_mediaActive || !m_wideband)
        return;
    SendLocked(PKT_WIDEBAND_VOICE, inner, WIDEBAND_SEQ_BYTES + length);
    ++m_voiceSent.frames;
    m_voiceSent.bytes += length;
}

CPacketGuard::VoiceSent CPacketGuard::TakeVoiceSent() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_voiceSent, VoiceSent{});
}

bool CPacketGuard::Open(const std::string& address, int port, const uint8_t* payload, int length,
                        Opened* out) {
    CSecureChannel* channel = nullptr;
    {
        std::lock_guard lock(m_mutex);
        channel = m_channel.get();
    }
    // Only this thread sets or drops the channel, so it stays valid while it opens.
    CSecureChannel::Opened opened;
    if (channel == nullptr || !channel->Open(payload, length, &opened))
        return false;
    if (opened.newest)
        SetPeer(address, port);
    out->type = opened.type;
    out->payload = std::move(opened.payload);
    out->counter = opened.counter;
    return true;
}

CPacketGuard::Content CPacketGuard::Read(uint8_t type, const uint8_t* payload, int length) const {
    Content content;
    if (type == PKT_WIDEBAND_VOICE) {
        // Only ever out of the channel (its own encryption is the seal), and only in a
        // call that agreed on it: a GSM call plays no Opus whatever its peer sends.
        if (length < WIDEBAND_SEQ_BYTES + 1 || length > WIDEBAND_SEQ_BYTES + WidebandFrame::kMaxOpusBytes)
            return content;
        {
            std::lock_guard lock(m_mutex);
            if (!m_wideband)
                return content;
        }
        content.activity = true;
        content.kind = Content::WidebandVoice;
        content.frame.assign(payload, payload + length);
        return content;
    }
    const bool ciphered = type == PKT_TEXT_ENCRYPTED || type == PKT_VOICE_ENCRYPTED;
    if (type == PKT_VOICE || type == PKT_VOICE_ENCRYPTED) {
        if (length != (ciphered ? VOICE_FRAME_ENCRYPTED_BYTES : VOICE_FRAME_BYTES))
            return content;
        content.activity = true;
    } else if (type != PKT_TEXT && type != PKT_TEXT_ENCRYPTED) {
        return content;
    }
    std::vector<uint8_t> plain;
    if (ciphered) {
        std::string key;
        {
            std::lock_guard lock(m_mutex);
            if (!m_cipherOn) {
                content.kind = Content::Ciphered;
                return content;
            }
            key = m_key; // never empty while the cipher is on
        }
        plain = PayloadCipher::Decrypt(key, payload, length);
        WipeSecret(key.data(), key.size());
        payload = plain.data();
        length = static_cast<int>(plain.size());
    }
    if (type == PKT_TEXT || type == PKT_TEXT_ENCRYPTED) {
        const TextMessage message = ReadTextMessage(payload, length);
        content.kind = Content::Text;
        content.text = message.text;
        content.userData = message.userData;
        return content;
    }
    content.kind = Content::Voice;
    content.frame.assign(payload, payload + VOICE_FRAME_BYTES);
    return content;
}
