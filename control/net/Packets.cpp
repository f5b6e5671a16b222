// SPDX-License-Identifier: GPL-3.0-or-later
// Packets: writing and bounds-safe reading of the packet payloads.
#include "Packets.h"

#include <algorithm>

namespace {

// Length of the text field starting at `from`: up to the first zero byte, or to the end
// of the payload when there is none (the bytes past the datagram read as zero).
int FieldLength(const uint8_t* payload, int from, int length) {
    if (payload == nullptr || from >= length) {
        return 0;
    }
    const uint8_t* begin = payload + from;
    const uint8_t* end = payload + length;
    return static_cast<int>(std::find(begin, end, uint8_t{0}) - begin);
}

std::string FieldText(const uint8_t* payload, int from, int n) {
    if (n <= 0) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(payload + from), static_cast<size_t>(n));
}

} // namespace

std::vector<uint8_t> BuildCallRequestPayload(const std::string& userData, const CCallToken& token) {
    std::vector<uint8_t> payload(userData.begin(), userData.end());
    payload.push_back(0);
    const size_t at = payload.size();
    payload.resize(at + CCallToken::kBytes);
    token.WriteTo(payload.data() + at);
    return payload;
}

std::vector<uint8_t> BuildTextPayload(const std::string& text, const std::string& userData) {
    std::vector<uint8_t> payload;
    payload.reserve(text.size() + userData.size() + 2);
    payload.insert(payload.end(), text.begin(), text.end());
    payload.push_back(0);
    payload.insert(payload.end(), userData.begin(), userData.end());
    payload.push_back(0);
    return payload;
}

std::vector<uint8_t> BuildTokenPayload(const CCallToken& token) {
    std::vector<uint8_t> payload(CCallToken::kBytes);
    token.WriteTo(payload.data());
    return payload;
}

CallRequest ReadCallRequest(const uint8_t* payload, int length) {
    CallRequest request;
    if (payload == nullptr || length <= 0) {
        return request;
    }
    const int n = FieldLength(payload, 0, length);
    request.userData = FieldText(payload, 0, n);
    // Without a terminator the token lies past the datagram and reads as zero.
    const int tokenAt = n + 1;
    if (tokenAt < length) {
        request.token = CCallToken::ReadFrom(payload + tokenAt, length - tokenAt);
    }
    return request;
}

TextMessage ReadTextMessage(const uint8_t* payload, int length) {
    TextMessage message;
    if (payload == nullptr || length <= 0) {
        return message;
    }
    const int n = FieldLength(payload, 0, length);
    message.text = FieldText(payload, 0, n);
    const int second = n + 1;
    message.userData = FieldText(payload, second, FieldLength(payload, second, length));
    return message;
}

CCallToken ReadToken(const uint8_t* payload, int length) {
    if (payload == nullptr || length <= 0) {
        return {};
    }
    return CCallToken::ReadFrom(payload, length);
}

std::string UpToFirstZero(const std::string& text) {
    return text.substr(0, text.find('\0'));
}
