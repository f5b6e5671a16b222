// SPDX-License-Identifier: GPL-3.0-or-later
// Packets: the packet types of the wire protocol, and writing and reading their payloads.
#pragma once

#include "CCallToken.h"
#include "VoiceFrame.h"

#include <cstdint>
#include <string>
#include <vector>

// A datagram is one type byte followed by the payload. Types 20..24 belong to the
// encrypted call, which only two stations of ours negotiate (an older peer ignores
// them); types 0, 2, 14..19 and 25..255 are never sent.
enum PacketType : uint8_t {
    PKT_CALL_REQUEST = 1,
    PKT_KEEPALIVE = 3,
    PKT_TEXT = 4,
    PKT_TEXT_ENCRYPTED = 5,
    PKT_HANGUP = 6,
    PKT_BUSY = 7,
    PKT_NOT_AVAILABLE = 8,
    PKT_VOICE_ENCRYPTED = 9,
    PKT_VOICE = 10,
    PKT_CONFIRM = 11,
    PKT_ACCEPT = 12,
    PKT_REJECT = 13,
    PKT_SECURE_REQUEST = 20,
    PKT_SECURE_ACCEPT = 21,
    PKT_SECURE_CONFIRM = 22,
    PKT_SECURE_REJECT = 23,
    PKT_SECURE_DATA = 24
};

// Inner types that travel only sealed, between two stations of ours that agreed on them
// (flag bits of the encrypted call's request and accept); a receiver ignores an inner
// type it does not know.
enum InnerPacketType : uint8_t {
    PKT_WIDEBAND_VOICE = 30, // seq (2, little-endian), then one Opus packet of 20 ms
    PKT_CALL_REPORT = 31,    // the call's figures every 2 s (see CCallReport)
};
constexpr int WIDEBAND_SEQ_BYTES = 2;

constexpr int VOICE_FRAME_BYTES = VoiceFrame::kGsmBytes;
constexpr int VOICE_FRAME_ENCRYPTED_BYTES = VoiceFrame::kEncryptedBytes;
constexpr int PCM_FRAME_BYTES = VoiceFrame::kPcmBytes;

// User data, one zero byte, the 8 token bytes.
std::vector<uint8_t> BuildCallRequestPayload(const std::string& userData, const CCallToken& token);
// Text, zero byte, user data, zero byte.
std::vector<uint8_t> BuildTextPayload(const std::string& text, const std::string& userData);
// Text that travels zero-terminated ends at its first zero byte; cutting it before it is
// built in keeps the bytes after it (the call token of a request) where the receiver
// reads them.
std::string UpToFirstZero(const std::string& text);
// The 8 token bytes (PKT_ACCEPT, PKT_REJECT).
std::vector<uint8_t> BuildTokenPayload(const CCallToken& token);

// The readers take text up to the first zero byte and read every byte past `length`
// as zero; they never touch memory beyond payload[length - 1], whatever the caller's
// buffer holds. A null payload or a negative length reads as an empty payload.
struct CallRequest {
    std::string userData;
    CCallToken token;
};
CallRequest ReadCallRequest(const uint8_t* payload, int length);
struct TextMessage {
    std::string text;
    std::string userData;
};
TextMessage ReadTextMessage(const uint8_t* payload, int length);
CCallToken ReadToken(const uint8_t* payload, int length); // PKT_ACCEPT / PKT_REJECT
