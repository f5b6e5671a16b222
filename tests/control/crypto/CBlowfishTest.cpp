// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the payload cipher against published vectors and OpenSSL's Blowfish.
#include "CBlowfish.h"

#include <gtest/gtest.h>
#include <openssl/blowfish.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::string ToHex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Published vectors use big-endian halves; the wire order is little-endian,
// so each 4-byte half is reversed on the way in and out.
Bytes SwapHalves(Bytes data) {
    for (size_t i = 0; i + 4 <= data.size(); i += 4) {
        std::reverse(data.begin() + long(i), data.begin() + long(i) + 4);
    }
    return data;
}

Bytes Random(std::mt19937& rng, size_t n) {
    Bytes out(n);
    for (auto& b : out) {
        b = uint8_t(rng());
    }
    return out;
}

Bytes EncryptWith(const Bytes& key, const Bytes& plain) {
    CBlowfish bf;
    bf.SetKey(key.data(), int(key.size()));
    Bytes out(size_t(CBlowfish::PaddedLength(int(plain.size()))));
    EXPECT_EQ(bf.Encrypt(plain.data(), out.data(), int(plain.size())), int(out.size()));
    return out;
}

// What OpenSSL gives for the same payload in our byte order, zero padded.
Bytes OpenSslEncrypt(const Bytes& key, Bytes plain) {
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    BF_KEY schedule;
    BF_set_key(&schedule, int(key.size()), key.data());
    Bytes swapped = SwapHalves(plain);
    Bytes out(swapped.size());
    for (size_t i = 0; i < swapped.size(); i += 8) {
        BF_ecb_encrypt(swapped.data() + i, out.data() + i, &schedule, BF_ENCRYPT);
    }
    return SwapHalves(out);
}

struct EcbVector {
    const char* key;
    const char* clear;
    const char* cipher;
};

// Eric Young's ECB set (taken from the DES validation tests).
const EcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

// Eric Young's set_key table: the first 1..24 bytes of this key on FEDCBA9876543210.
const char kSetKeyKey[] = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
const char* const kSetKeyCiphers[24] = {
    "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
    "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
    "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
    "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
    "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
    "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
};

TEST(CBlowfishVectors, EcbSetEncryptsAndDecryptsInWireOrder) {
    static_assert(std::size(kEcbVectors) == 34);
    for (const auto& v : kEcbVectors) {
        SCOPED_TRACE(v.key + std::string(" / ") + v.clear);
        const Bytes key = FromHex(v.key);
        CBlowfish bf;
        bf.SetKey(key.data(), int(key.size()));
        const Bytes plain = SwapHalves(FromHex(v.clear));
        Bytes block(8);
        ASSERT_EQ(bf.Encrypt(plain.data(), block.data(), 8), 8);
        EXPECT_EQ(ToHex(SwapHalves(block)), v.cipher);
        bf.Decrypt(block.data(), block.data(), 8);
        EXPECT_EQ(block, plain);
    }
}

TEST(CBlowfishVectors, SetKeyTableForKeysOfOneTo24Bytes) {
    const Bytes fullKey = FromHex(kSetKeyKey);
    const Bytes plain = SwapHalves(FromHex("FEDCBA9876543210"));
    for (int length = 1; length <= 24; ++length) {
        SCOPED_TRACE(length);
        CBlowfish bf;
        bf.SetKey(fullKey.data(), length);
        Bytes block(8);
        bf.Encrypt(plain.data(), block.data(), 8);
        EXPECT_EQ(ToHex(SwapHalves(block)), kSetKeyCiphers[length - 1]);
    }
}

TEST(CBlowfishVectors, MatchesOpenSslOnRandomKeysAndPayloads) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const Bytes key = Random(rng, 1 + rng() % 100); // past 72 too
        const Bytes plain = Random(rng, 1 + rng() % 300);
        SCOPED_TRACE("key " + std::to_string(key.size()) + " data " + std::to_string(plain.size()));
        const Bytes cipher = EncryptWith(key, plain);
        ASSERT_EQ(cipher, OpenSslEncrypt(key, plain));

        CBlowfish bf;
        bf.SetKey(key.data(), int(key.size()));
        Bytes back(cipher.size());
        bf.Decrypt(cipher.data(), back.data(), int(cipher.size()));
        Bytes expected = plain;
        expected.resize(cipher.size(), 0);
        ASSERT_EQ(back, expected);
    }
}

TEST(CBlowfishPadding, PaddedLengthRoundsUpToWholeBlocks) {
    EXPECT_EQ(CBlowfish::PaddedLength(1), 8);
    EXPECT_EQ(CBlowfish::PaddedLength(7), 8);
    EXPECT_EQ(CBlowfish::PaddedLength(8), 8);
    EXPECT_EQ(CBlowfish::PaddedLength(9), 16);
    EXPECT_EQ(CBlowfish::PaddedLength(195), 200);
    EXPECT_EQ(CBlowfish::PaddedLength(200), 200);
    // Nothing to encrypt, and no rounding that would overflow.
    EXPECT_EQ(CBlowfish::PaddedLength(0), 0);
    EXPECT_EQ(CBlowfish::PaddedLength(-5), 0);
    EXPECT_EQ(CBlowfish::PaddedLength(INT_MAX), 0);
    EXPECT_EQ(CBlowfish::PaddedLength(INT_MAX - 8), INT_MAX - 7);
}

TEST(CBlowfishPadding, VoiceFrameBecomes200BytesWithFiveZeroBytes) {
    std::mt19937 rng(7);
    const Bytes key = Random(rng, 16);
    Bytes frame = Random(rng, 195);
    frame[194] = 0xFF;
    Bytes cipher(200, 0xAA); // stale contents must not leak into the padding
    CBlowfish bf;
    bf.SetKey(key.data(), int(key.size()));
    ASSERT_EQ(bf.Encrypt(frame.data(), cipher.data(), 195), 200);

    CBlowfish receiver;
    receiver.SetKey(key.data(), int(key.size()));
    Bytes plain(200, 0x55);
    receiver.Decrypt(cipher.data(), plain.data(), 200);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), plain.begin()));
    EXPECT_EQ(Bytes(plain.begin() + 195, plain.end()), Bytes(5, 0));
}

TEST(CBlowfishPadding, WholeBlockPayloadGainsNothingAndWritesNoFurther) {
    std::mt19937 rng(8);
    const Bytes key = Random(rng, 5);
    const Bytes text = Random(rng, 24);
    Bytes out(32, 0xCC);
    CBlowfish bf;
    bf.SetKey(key.data(), int(key.size()));
    EXPECT_EQ(bf.Encrypt(text.data(), out.data(), 24), 24);
    EXPECT_EQ(Bytes(out.begin() + 24, out.end()), Bytes(8, 0xCC));
}

TEST(CBlowfishModes, IdenticalBlocksGiveIdenticalCipherBlocks) {
    const Bytes key = {'k', 'e', 'y'};
    Bytes plain(24);
    for (int i = 0; i < 8; ++i) {
        plain[size_t(i)] = plain[size_t(i) + 16] = uint8_t(0x30 + i);
        plain[size_t(i) + 8] = uint8_t(0x40 + i);
    }
    const Bytes cipher = EncryptWith(key, plain);
    EXPECT_TRUE(std::equal(cipher.begin(), cipher.begin() + 8, cipher.begin() + 16));
    EXPECT_FALSE(std::equal(cipher.begin(), cipher.begin() + 8, cipher.begin() + 8));
}

TEST(CBlowfishModes, InPlaceEqualsOutOfPlace) {
    std::mt19937 rng(9);
    const Bytes key = Random(rng, 11);
    for (int n : {1, 8, 13, 195, 200}) {
        SCOPED_TRACE(n);
        const Bytes plain = Random(rng, size_t(n));
        const Bytes outOfPlace = EncryptWith(key, plain);

        Bytes buffer = plain;
        buffer.resize(outOfPlace.size(), 0xEE); // garbage where the padding goes
        CBlowfish bf;
        bf.SetKey(key.data(), int(key.size()));
        ASSERT_EQ(bf.Encrypt(buffer.data(), buffer.data(), n), int(buffer.size()));
        EXPECT_EQ(buffer, outOfPlace);

        Bytes decrypted(buffer.size());
        bf.Decrypt(buffer.data(), decrypted.data(), int(buffer.size()));
        bf.Decrypt(buffer.data(), buffer.data(), int(buffer.size()));
        EXPECT_EQ(buffer, decrypted);
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), buffer.begin()));
    }
}

TEST(CBlowfishModes, DecryptReadsNoFurtherThanItsInput) {
    // A payload cut short on the wire: 13 bytes, in a heap block of exactly 13
    // so that a read past it is caught under AddressSanitizer.
    std::mt19937 rng(10);
    const Bytes key = Random(rng, 8);
    const Bytes cut = Random(rng, 13);
    Bytes padded = cut;
    padded.resize(16, 0);

    CBlowfish bf;
    bf.SetKey(key.data(), int(key.size()));
    Bytes fromCut(16, 0x77);
    bf.Decrypt(cut.data(), fromCut.data(), 13);
    Bytes fromPadded(16);
    bf.Decrypt(padded.data(), fromPadded.data(), 16);
    EXPECT_EQ(fromCut, fromPadded);
}

TEST(CBlowfishKeys, OneByteKeyIsRepeatedAcrossThePArray) {
    const Bytes one = {0x5A};
    const Bytes repeated(72, 0x5A);
    const Bytes plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(EncryptWith(one, plain), EncryptWith(repeated, plain));
    EXPECT_NE(EncryptWith(one, plain), EncryptWith({0x5B}, plain));
}

TEST(CBlowfishKeys, BytesPastThe72ndHaveNoEffect) {
    std::mt19937 rng(11);
    const Bytes plain = Random(rng, 40);
    Bytes longKey = Random(rng, 100);
    const Bytes first72(longKey.begin(), longKey.begin() + 72);
    const Bytes reference = EncryptWith(first72, plain);
    EXPECT_EQ(EncryptWith(longKey, plain), reference);
    longKey[72] ^= 0xFF;
    EXPECT_EQ(EncryptWith(longKey, plain), reference);
    longKey[71] ^= 0xFF; // the last byte that counts
    EXPECT_NE(EncryptWith(longKey, plain), reference);
}

TEST(CBlowfishKeys, NoKeyBytesLeavesAContextThatPassesNothingThrough) {
    const Bytes plain = {'s', 'e', 'c', 'r', 'e', 't', '!', '!', 'x'};
    const Bytes key = {'k'};
    for (int length : {0, -1}) {
        SCOPED_TRACE(length);
        CBlowfish bf;
        bf.SetKey(key.data(), 1);
        ASSERT_TRUE(bf.IsKeyed());
        bf.SetKey(key.data(), length); // an empty key must not keep or build a schedule
        EXPECT_FALSE(bf.IsKeyed());

        Bytes buffer = plain;
        buffer.resize(16, 0x99);
        EXPECT_EQ(bf.Encrypt(buffer.data(), buffer.data(), int(plain.size())), 0);
        EXPECT_EQ(buffer, Bytes(16, 0));

        Bytes out(16, 0x99);
        bf.Decrypt(plain.data(), out.data(), int(plain.size()));
        EXPECT_EQ(out, Bytes(16, 0));
    }
    CBlowfish fresh;
    EXPECT_FALSE(fresh.IsKeyed());
    fresh.SetKey(nullptr, 4);
    EXPECT_FALSE(fresh.IsKeyed());
}

TEST(CBlowfishKeys, DifferentKeysDoNotDecryptEachOther) {
    const Bytes text = {'h', 'e', 'l', 'l', 'o', 0, 'I', 'D', '=', 'a', 0};
    const Bytes cipher = EncryptWith({'a', 'b', 'c'}, text);
    CBlowfish wrong;
    const Bytes otherKey = {'a', 'b', 'd'};
    wrong.SetKey(otherKey.data(), 3);
    Bytes out(cipher.size());
    wrong.Decrypt(cipher.data(), out.data(), int(cipher.size()));
    EXPECT_FALSE(std::equal(text.begin(), text.end(), out.begin()));
}

// A kept context must follow the key: a stale one after a change (or a prefix match)
// would put wrong bytes on the wire; one already handed out stays keyed as it was.
TEST(CBlowfishKeys, ForKeyGivesTheBytesOfAFreshlyKeyedContext) {
    const Bytes text = {'v', 'o', 'i', 'c', 'e', 1, 2, 3, 4};
    const Bytes keys[] = {{'a', 'b', 'c'}, {'a', 'b', 'c', 'd'}, {'a', 'b', 'c'}, {'x'}};
    const auto first = CBlowfish::ForKey(keys[0].data(), 3);
    for (const Bytes& key : keys) {
        Bytes out(16);
        CBlowfish::ForKey(key.data(), int(key.size()))->Encrypt(text.data(), out.data(), int(text.size()));
        EXPECT_EQ(out, EncryptWith(key, text));
    }
    Bytes out(16);
    first->Encrypt(text.data(), out.data(), int(text.size()));
    EXPECT_EQ(out, EncryptWith(keys[0], text));
}

} // namespace
