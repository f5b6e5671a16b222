// SPDX-License-Identifier: GPL-3.0-or-later
// Payload layouts of the wire protocol and the bounds of their readers.
#include "Packets.h"
#include "RawPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

// Heap copy of exactly `bytes`, so that AddressSanitizer flags any read past the end.
struct ExactBuffer {
    explicit ExactBuffer(const std::vector<uint8_t>& bytes)
        : size(static_cast<int>(bytes.size())),
          data(std::make_unique<uint8_t[]>(bytes.empty() ? 1 : bytes.size())) {
        if (!bytes.empty()) {
            std::memcpy(data.get(), bytes.data(), bytes.size());
        }
    }
    int size;
    std::unique_ptr<uint8_t[]> data;
};

CallRequest ReadExactRequest(const std::vector<uint8_t>& bytes) {
    ExactBuffer b(bytes);
    return ReadCallRequest(b.data.get(), b.size);
}

TextMessage ReadExactText(const std::vector<uint8_t>& bytes) {
    ExactBuffer b(bytes);
    return ReadTextMessage(b.data.get(), b.size);
}


} // namespace

TEST(CallToken, WritesTwoLittleEndianWordsSecondsFirst) {
    uint8_t out[8];
    CCallToken{0x89ABCDEF, 0x01020304}.WriteTo(out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8),
              Bytes({0xEF, 0xCD, 0xAB, 0x89, 0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(CCallToken::ReadFrom(out, 8), (CCallToken{0x89ABCDEF, 0x01020304}));
}

TEST(CallToken, ReadsMissingBytesAsZero) {
    const auto bytes = Bytes({0x11, 0x22, 0x33, 0x44, 0x55, 0xFF, 0xFF, 0xFF});
    // Only five bytes are available: the rest of the second word must not be read.
    EXPECT_EQ(CCallToken::ReadFrom(bytes.data(), 5), (CCallToken{0x44332211, 0x55}));
    EXPECT_TRUE(CCallToken::ReadFrom(bytes.data(), 0).IsZero());
    EXPECT_TRUE(CCallToken::ReadFrom(nullptr, 8).IsZero());
    EXPECT_TRUE(CCallToken::ReadFrom(bytes.data(), -4).IsZero());
}

// A random source that reads a script: -1 is EINTR, 0 a failure, n gives n bytes of
// 0x11, 100 + n gives n zero bytes. Interrupted and short reads must be completed, a
// zero count drawn again; a failing source, or one stuck at zero, gives no token.
std::vector<int> g_script;
ssize_t ScriptedSource(void* buffer, size_t length, unsigned int) {
    const int step = g_script.front();
    g_script.erase(g_script.begin());
    const size_t n = std::min<size_t>(length, static_cast<size_t>(std::max(step, 0) % 100));
    std::memset(buffer, step > 100 ? 0 : 0x11, n);
    errno = step < 0 ? EINTR : ENOSYS;
    return step <= 0 ? -1 : static_cast<ssize_t>(n);
}

TEST(CallToken, DrawTakesTheCalendarClockAndARandomCountNeverZero) {
    const auto before = static_cast<uint32_t>(std::time(nullptr));
    CCallToken a;
    ASSERT_TRUE(CCallToken::Draw(&a));
    const auto after = static_cast<uint32_t>(std::time(nullptr));
    EXPECT_GE(a.seconds, before);
    EXPECT_LE(a.seconds, after);
    EXPECT_FALSE(a.IsZero());
    EXPECT_TRUE(CCallToken{}.IsZero());
    EXPECT_FALSE((CCallToken{0, 1}).IsZero());
    const std::pair<std::vector<int>, bool> scripts[] = {
        {{-1, 2, 1, 1}, true}, {{104, 4}, true}, {{3, 0}, false}, {{104, 104, 104, 104}, false}};
    for (const auto& [script, ok] : scripts) {
        g_script = script;
        CCallToken t = CCallToken{7, 7};
        EXPECT_EQ(CCallToken::Draw(&t, ScriptedSource), ok) << testing::PrintToString(script);
        EXPECT_EQ(t.count, ok ? 0x11111111u : 7u);
    }
}

TEST(PacketWriting, CallRequestIsUserDataZeroAndToken) {
    EXPECT_EQ(BuildCallRequestPayload("abc", (CCallToken{1, 2})),
              Bytes({0x61, 0x62, 0x63, 0x00, 1, 0, 0, 0, 2, 0, 0, 0}));
    // Empty user data: the payload starts with the terminator.
    EXPECT_EQ(BuildCallRequestPayload("", (CCallToken{0x01000000, 0})),
              Bytes({0x00, 0, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(PacketWriting, TextIsTwoTerminatedFields) {
    EXPECT_EQ(BuildTextPayload("abc", ""), Bytes({0x61, 0x62, 0x63, 0x00, 0x00}));
    EXPECT_EQ(BuildTextPayload("", "ID=x"), Bytes({0x00, 'I', 'D', '=', 'x', 0x00}));
    EXPECT_EQ(BuildTokenPayload((CCallToken{1, 2})), Bytes({1, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(PacketReading, CallRequestRoundTripsForVariedUserData) {
    std::string eightBit;
    for (int c = 1; c < 256; ++c) {
        eightBit.push_back(static_cast<char>(c));
    }
    for (const std::string& userData :
         {std::string(), std::string("ID=bob&Password=x"), eightBit, std::string(5000, 'q')}) {
        const CCallToken token = CCallToken{0xFFFFFFFF, 0x80000001};
        const CallRequest read = ReadExactRequest(BuildCallRequestPayload(userData, token));
        EXPECT_EQ(read.userData, userData);
        EXPECT_EQ(read.token, token);
    }
}

TEST(PacketReading, MalformedCallRequests) {
    // No terminator: all of it is user data and the token reads as zero.
    CallRequest r = ReadExactRequest(Bytes({'a', 'b', 'c'}));
    EXPECT_EQ(r.userData, "abc");
    EXPECT_TRUE(r.token.IsZero());
    // A short token is padded with zeros.
    r = ReadExactRequest(Bytes({'a', 0, 0x05, 0x01}));
    EXPECT_EQ(r.userData, "a");
    EXPECT_EQ(r.token, (CCallToken{0x0105, 0}));
    // Terminator is the last byte: no token bytes at all.
    r = ReadExactRequest(Bytes({'a', 0}));
    EXPECT_EQ(r.userData, "a");
    EXPECT_TRUE(r.token.IsZero());
    // Bytes after the token are ignored.
    r = ReadExactRequest(Bytes({0, 1, 0, 0, 0, 2, 0, 0, 0, 9, 9}));
    EXPECT_EQ(r.userData, "");
    EXPECT_EQ(r.token, (CCallToken{1, 2}));
    r = ReadExactRequest({});
    EXPECT_EQ(r.userData, "");
    EXPECT_TRUE(r.token.IsZero());
    EXPECT_TRUE(ReadCallRequest(nullptr, 12).token.IsZero());
}

TEST(PacketReading, TextMessages) {
    TextMessage m = ReadExactText(Bytes({'a', 'b', 'c', 0, 'u', 0}));
    EXPECT_EQ(m.text, "abc");
    EXPECT_EQ(m.userData, "u");
    // Second field missing (the datagram 04 61 62 63 00).
    m = ReadExactText(Bytes({'a', 'b', 'c', 0}));
    EXPECT_EQ(m.text, "abc");
    EXPECT_EQ(m.userData, "");
    // No terminator anywhere.
    m = ReadExactText(Bytes({'a', 'b', 'c'}));
    EXPECT_EQ(m.text, "abc");
    EXPECT_EQ(m.userData, "");
    // Unterminated second field runs to the end of the datagram; trailing fields ignored.
    m = ReadExactText(Bytes({0, 'x', 'y'}));
    EXPECT_EQ(m.text, "");
    EXPECT_EQ(m.userData, "xy");
    m = ReadExactText(Bytes({'t', 0, 'u', 0, 'z', 'z', 0}));
    EXPECT_EQ(m.text, "t");
    EXPECT_EQ(m.userData, "u");
    m = ReadExactText({});
    EXPECT_EQ(m.text, "");
    EXPECT_EQ(m.userData, "");
}

TEST(PacketReading, TokenPayloads) {
    EXPECT_EQ(ReadToken(Bytes({1, 0, 0, 0, 2, 0, 0, 0}).data(), 8), (CCallToken{1, 2}));
    EXPECT_EQ(ReadToken(Bytes({1, 0, 0, 0, 2, 0, 0, 0, 7}).data(), 9), (CCallToken{1, 2}));
    ExactBuffer shortToken(Bytes({7, 0, 0}));
    EXPECT_EQ(ReadToken(shortToken.data.get(), shortToken.size), (CCallToken{7, 0}));
    EXPECT_TRUE(ReadToken(nullptr, 0).IsZero());
}

// The readers must honour `length` even when the caller's buffer goes on with non-zero
// bytes: a shorter length must cut fields and tokens, not read into what follows.
TEST(PacketReading, ReadersStopAtLengthWhateverFollowsInTheBuffer) {
    const auto bytes = Bytes({'a', 'b', 'c', 'X', 'Y', 0, 1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(ReadTextMessage(bytes.data(), 3).text, "abc");
    EXPECT_EQ(ReadTextMessage(bytes.data(), 3).userData, "");
    const CallRequest r = ReadCallRequest(bytes.data(), 3);
    EXPECT_EQ(r.userData, "abc");
    EXPECT_TRUE(r.token.IsZero());
    const CallRequest cut = ReadCallRequest(bytes.data(), 8); // two token bytes inside
    EXPECT_EQ(cut.userData, "abcXY");
    EXPECT_EQ(cut.token, (CCallToken{0x0201, 0}));
    EXPECT_EQ(ReadToken(bytes.data() + 6, 2), (CCallToken{0x0201, 0}));
    EXPECT_EQ(ReadTextMessage(bytes.data(), -1).text, "");
}
