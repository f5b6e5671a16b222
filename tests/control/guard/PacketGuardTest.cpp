// SPDX-License-Identifier: GPL-3.0-or-later
// The packet guard's three kinds (clear, Blowfish payload, sealed channel) out and back in.
#include "CPacketGuard.h"
#include "Packets.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Wire : IPacketTransport {
    struct Datagram {
        uint8_t type;
        std::vector<uint8_t> payload;
        std::string address;
        int port;
    };
    std::vector<Datagram> sent;
    void Send(uint8_t type, const uint8_t* payload, int length, const std::string& address,
              int port) override {
        sent.push_back({type, std::vector<uint8_t>(payload, payload + length), address, port});
    }
};

std::unique_ptr<CSecureChannel> Channel(CSecureChannel::Role role) {
    SecretBytes<SecureCall::kKeyBytes> ab, ba;
    for (std::size_t i = 0; i < ab.size(); ++i) {
        ab.data()[i] = static_cast<uint8_t>(i);
        ba.data()[i] = static_cast<uint8_t>(100 + i);
    }
    return std::make_unique<CSecureChannel>(role, std::move(ab), std::move(ba));
}

} // namespace

TEST(PacketGuard, EachKindWrapsWhatLeavesAndTheOtherSideReadsItBack) {
    enum Kind { kClear, kBlowfish, kSealed, kSealedBlowfish };
    // Kind; then the wire type and payload size of a keep-alive, a text and a voice frame.
    const std::tuple<Kind, uint8_t, uint8_t, uint8_t, std::size_t> rows[] = {
        {kClear, PKT_KEEPALIVE, PKT_TEXT, PKT_VOICE, VOICE_FRAME_BYTES},
        {kBlowfish, PKT_KEEPALIVE, PKT_TEXT_ENCRYPTED, PKT_VOICE_ENCRYPTED, 200},
        {kSealed, PKT_SECURE_DATA, PKT_SECURE_DATA, PKT_SECURE_DATA, 220},
        {kSealedBlowfish, PKT_SECURE_DATA, PKT_SECURE_DATA, PKT_SECURE_DATA, 225},
    };
    const std::vector<uint8_t> frame(VOICE_FRAME_BYTES, 0x5a);
    for (const auto& [kind, keepAlive, text, voice, voiceBytes] : rows) {
        SCOPED_TRACE(kind);
        Wire aWire, bWire;
        CPacketGuard a(aWire), b(bWire);
        for (CPacketGuard* g : {&a, &b}) {
            g->SetKey("shared key");
            g->SetCipher(kind == kBlowfish || kind == kSealedBlowfish);
            g->SetPeer("10.0.0.2", 33550);
        }
        if (kind >= kSealed) {
            a.Seal(Channel(CSecureChannel::Role::Caller));
            b.Seal(Channel(CSecureChannel::Role::Callee));
        }
        a.SendVoiceFrame(frame.data(), VOICE_FRAME_BYTES); // no call yet: nothing leaves
        EXPECT_TRUE(aWire.sent.empty());
        a.SetMediaActive(true);
        a.SendToPeer(PKT_KEEPALIVE);
        a.SendText("hi", "there");
        a.SendVoiceFrame(frame.data(), VOICE_FRAME_BYTES);
        ASSERT_EQ(aWire.sent.size(), 3u);
        EXPECT_EQ(aWire.sent[0].type, keepAlive);
        EXPECT_EQ(aWire.sent[1].type, text);
        EXPECT_EQ(aWire.sent[2].type, voice);
        EXPECT_EQ(aWire.sent[2].payload.size(), voiceBytes);
        EXPECT_EQ(aWire.sent[2].address, "10.0.0.2");

        std::vector<CPacketGuard::Content> read;
        for (const auto& d : aWire.sent) {
            CPacketGuard::Opened opened{d.type, d.payload};
            // Only what opens counts in a sealed call, and its newest packet moves the peer.
            ASSERT_EQ(kind >= kSealed,
                      b.Open("10.0.0.9", 40000, d.payload.data(), static_cast<int>(d.payload.size()),
                             &opened));
            read.push_back(b.Read(opened.type, opened.payload.data(),
                                  static_cast<int>(opened.payload.size())));
        }
        EXPECT_EQ(read[0].kind, CPacketGuard::Content::Nothing);
        EXPECT_EQ(read[1].kind, CPacketGuard::Content::Text);
        EXPECT_EQ(read[1].text + read[1].userData, "hithere");
        EXPECT_EQ(read[2].kind, CPacketGuard::Content::Voice);
        EXPECT_EQ(read[2].frame, frame);
        EXPECT_EQ(b.PeerAddress(), kind >= kSealed ? "10.0.0.9" : "10.0.0.2");

        // With its cipher off, a Blowfish payload only says that it is one; voice still
        // shows the peer is there.
        b.SetCipher(false);
        if (kind == kBlowfish) {
            const CPacketGuard::Content ciphered = b.Read(
                voice, aWire.sent[2].payload.data(), static_cast<int>(aWire.sent[2].payload.size()));
            EXPECT_EQ(ciphered.kind, CPacketGuard::Content::Ciphered);
            EXPECT_TRUE(ciphered.activity);
        }
    }
}
