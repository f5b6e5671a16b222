// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the encrypted call: published and own vectors, both sides' exchange, the window.
#include "CSecureCallee.h"
#include "CSecureCaller.h"
#include "CSecureChannel.h"
#include "Cpace.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
using Share = SecureCall::Share;

Bytes Hex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}
template <typename T> Bytes B(const T& t) {
    return Bytes(t.data(), t.data() + t.size());
}
// A share, sid, scalar or key from its bytes.
template <typename T> T To(const Bytes& b) {
    T out;
    std::copy_n(b.begin(), out.size(), out.data());
    return out;
}
// The product as bytes, or nothing when ScalarMult refuses the point.
Bytes Mult(const Bytes& scalar, const Bytes& point) {
    SecretBytes<32> out;
    return Cpace::ScalarMult(To<Cpace::Scalar>(scalar), To<Share>(point), &out) ? B(out) : Bytes{};
}
int N(const Bytes& b) {
    return int(b.size());
}

const Bytes kYa = Hex("da3d23700a9e5699258aef94dc060dfda5ebb61f02a5ea77fad53f4ff0976d08");
const Bytes kYb = Hex("d2316b454718c35362d83d69df6320f38578ed5984651435e2949762d900b80d");
const std::string kSid = "000102030405060708090a0b0c0d0e0f";
const std::string kOwnYa = "8661ed73278ee975cb965461ed66bfb4f2682b08fbdc7f40f5a2c1cb8bd5dc7c";

// The draft's ristretto255 vectors (draft-irtf-cfrg-cpace, appendix B.3), then our exchange's.
TEST(Cpace, Vectors) {
    const struct {
        std::string prs, ci, sid, adA, adB, g, ya, yb, k, isk;
    } rows[] = {
        {"Password", "0b415f696e69746961746f720b425f726573706f6e646572",
         "7e4b4791d6a8ef019b936c79fb7f2c57", "ADa", "ADb",
         "222b6b195fe84b1652badb6f6a3ae3d24341e7306967f0b8115b40d5698c7e56",
         "d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b9157",
         "3ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f7258",
         "80b69a8a76457ab6a4d7f887a4bf6b55a2f80ac19c333f917a05fc9887c8b40f",
         "b69effbf61b51d56401c0f65601abe428de8206feaaf0e32198896dcae7b35cd"
         "2b38950a39dfd5d4a79164614c2984f7daa460b588c1e80c3fa2068af7900447"},
        {"correct horse", "13544553534f5241207365637572652063616c6c05616c696365", kSid,
         std::string("\x01\x00", 2), std::string("\x01\x00", 2),
         "5e0fbf715cb2d89ac538a9bab3d24b57f394bd52c0863a2a1a4a081982e46234", kOwnYa,
         "1e46ac58f72228b60582d7aed0f41e9906d11b0a16ee28ce985265ad2a2ae617",
         "5e3df877952388506de508bfade32ca56478906eb898e2864c4bcc9b77953858",
         "815fd4a6e08a1c419a3c25c8d575630428ecddaf7ad1860178a248bf82fc8842"
         "1aa2e4f4a8e8e138b552aa5ae21eec7e0c5e885954408dd22e8d960635f511a7"},
    };
    for (const auto& row : rows) {
        const Bytes sid = Hex(row.sid);
        Share g;
        ASSERT_TRUE(Cpace::Generator(row.prs, Cpace::View(Hex(row.ci)), Cpace::View(sid), &g));
        EXPECT_EQ(B(g), Hex(row.g));
        EXPECT_EQ(Mult(kYa, B(g)), Hex(row.ya));
        EXPECT_EQ(Mult(kYb, B(g)), Hex(row.yb));
        EXPECT_EQ(Mult(kYa, Hex(row.yb)), Hex(row.k));
        Cpace::Isk isk;
        Cpace::SessionKey(Cpace::View(sid), To<SecretBytes<32>>(Hex(row.k)), To<Share>(Hex(row.ya)),
                          row.adA, To<Share>(Hex(row.yb)), row.adB, &isk);
        EXPECT_EQ(B(isk), Hex(row.isk));
    }
    EXPECT_EQ(Cpace::ChannelIdentifier("alice"), Hex(rows[1].ci));
    EXPECT_EQ(Cpace::LvCat({"1234", "5", "", "678"}), Hex("043132333401350003363738"));
    EXPECT_EQ(Cpace::PrependLen(std::string(200, 'w')), Hex("c801" + std::string(400, '7')));
    Cpace::Key key; // k_ba (A's first data packet below shows k_ab)
    Cpace::DirectionKey(To<Cpace::Isk>(Hex(rows[1].isk)), Cpace::kCalleeToCaller, &key);
    EXPECT_EQ(B(key), Hex("c1096856b8983dd78728e6a3d61024bcf2e18e48d5bd444bd22cf0dce8e8bbff"));

    // The identity, 32 bytes of ff, the draft's invalid encoding, and two non-canonical ones:
    // p itself, and a valid share with the top bit set.
    for (const Bytes& bad :
         {Bytes(32, 0), Bytes(32, 0xff), Hex("ed" + std::string(60, 'f') + "7f"),
          Hex(kOwnYa.substr(0, 62) + "fc"),
          Hex("2b3c6b8c4f3800e7aef6864025b4ed79bd599117e427c41bd47d93d654b4a51c")}) {
        EXPECT_FALSE(Cpace::ShareDecodes(To<Share>(bad))) << testing::PrintToString(bad);
        EXPECT_TRUE(Mult(kYa, bad).empty()) << testing::PrintToString(bad);
    }
    EXPECT_TRUE(Cpace::ShareDecodes(To<Share>(Hex(kOwnYa))));
}

TEST(CSecureCallee, ParseRequest) {
    const std::string id = kSid + kOwnYa, most(510, '7'); // 255 bytes of 'w'
    // clang-format off
    const std::pair<std::string, std::string> cases[] = { // payload in hex, user ("": refused)
        {"0107" + id + "626f6200", "bob"}, {"0100" + id + most + "00", std::string(255, 'w')},
        {"0100" + id + most + "7700", ""}, {"0200" + id + "626f6200", ""}, {"0100" + id + "00", ""},
        {"0100" + id + "62006200", ""},    {"0100" + id + "626f62", ""},   {"0100" + kSid, ""}};
    // clang-format on
    for (const auto& [hex, user] : cases) {
        CSecureCallee::Request request;
        EXPECT_EQ(CSecureCallee::ParseRequest(Hex(hex).data(), N(Hex(hex)), &request),
                  !user.empty());
        EXPECT_EQ(request.user, user);
    }
}

// The page's exchange byte for byte, from the request to A's first data packet; both channels
// carry a packet each way. Then a wrong password.
TEST(SecureCall, Exchange) {
    CSecureCaller a;
    CSecureCallee b;
    CSecureCallee::Request request;
    ASSERT_TRUE(a.StartWith("alice", "correct horse", To<SecureCall::Sid>(Hex(kSid)), kYa.data()));
    EXPECT_EQ(a.RequestPayload(), Hex("0100" + kSid + kOwnYa + "616c69636500"));
    ASSERT_TRUE(
        CSecureCallee::ParseRequest(a.RequestPayload().data(), N(a.RequestPayload()), &request));
    ASSERT_TRUE(b.StartWith(request, "correct horse", kYb.data()));
    EXPECT_EQ(b.AcceptPayload(),
              Hex(kSid + "01001e46ac58f72228b60582d7aed0f41e9906d11b0a16ee28ce98"
                         "5265ad2a2ae617b8b9723e22070c48dd194c1c6653820df3ed1b1336dcc1"
                         "254f61c9394fae2595"));
    ASSERT_EQ(a.OnAccept(b.AcceptPayload().data(), N(b.AcceptPayload())),
              CSecureCaller::Answer::Accepted);
    EXPECT_EQ(a.ConfirmPayload(),
              Hex(kSid + "6130c34d94a982e498a3d0f9724ad7677d3a1975b0c9e58a3bd8a08563aa82c6"));
    EXPECT_TRUE(b.CheckConfirm(a.ConfirmPayload().data(), N(a.ConfirmPayload())));
    const auto ca = a.TakeChannel(), cb = b.TakeChannel();
    Bytes sealed;
    CSecureChannel::Opened opened;
    ASSERT_TRUE(ca->Seal(3, nullptr, 0, &sealed)); // a keep-alive, counter 0
    EXPECT_EQ(sealed, Hex("00000000000000002aad7310cba23d83b90b484beaf1e0ef75"));
    EXPECT_TRUE(cb->Open(sealed.data(), N(sealed), &opened) && opened.type == 3 && opened.newest);
    const Bytes voice(195, 0xa5);
    ASSERT_TRUE(cb->Seal(10, voice.data(), N(voice), &sealed));
    EXPECT_TRUE(ca->Open(sealed.data(), N(sealed), &opened) && opened.type == 10 && opened.newest);
    EXPECT_EQ(opened.payload, voice);

    // Fresh scalars and sid, the host holding another password: both sides refuse.
    ASSERT_TRUE(a.Start("alice", "correct horse"));
    ASSERT_TRUE(
        CSecureCallee::ParseRequest(a.RequestPayload().data(), N(a.RequestPayload()), &request));
    ASSERT_TRUE(b.Start(request, "correct horsE"));
    EXPECT_EQ(a.OnAccept(b.AcceptPayload().data(), N(b.AcceptPayload())),
              CSecureCaller::Answer::WrongPassword);
    Bytes forged = B(a.SessionId());
    forged.resize(SecureCall::kConfirmBytes, 0x5a);
    EXPECT_FALSE(b.CheckConfirm(forged.data(), N(forged)));
}

// One receiver through a run of packets: what opens, what is refused, and which were newest.
TEST(CSecureChannel, ReplayWindow) {
    using Key = SecretBytes<32>;
    CSecureChannel a(CSecureChannel::Role::Caller, To<Key>(Bytes(32, 1)), To<Key>(Bytes(32, 2)));
    CSecureChannel b(CSecureChannel::Role::Callee, To<Key>(Bytes(32, 1)), To<Key>(Bytes(32, 2)));
    std::vector<Bytes> p(201);
    for (Bytes& packet : p)
        ASSERT_TRUE(a.Seal(4, reinterpret_cast<const uint8_t*>("hi"), 2, &packet));
    Bytes forged = p[7], own;
    forged.back() ^= 1;
    ASSERT_TRUE(b.Seal(4, nullptr, 0, &own));
    // clang-format off
    const std::tuple<const char*, Bytes, bool, bool> steps[] = { // what, packet, opens, newest
        {"first, whatever its counter", p[5], true, true},  {"reused", p[5], false, false},
        {"reordered inside the window", p[3], true, false}, {"forged tag", forged, false, false},
        {"genuine after the forgery", p[7], true, true},    {"own role's", own, false, false},
        {"window moved by 63", p[70], true, true},          {"the old highest", p[7], false, false},
        {"mark carried across words", p[3], false, false},  {"66 below", p[4], true, false},
        {"window moved past itself", p[200], true, true},   {"128 below", p[72], true, false},
        {"129 below", p[71], false, false},                 {"short", Bytes(5, 0), false, false}};
    // clang-format on
    for (const auto& [what, packet, opens, newest] : steps) {
        CSecureChannel::Opened opened;
        EXPECT_EQ(b.Open(packet.data(), N(packet), &opened), opens) << what;
        EXPECT_EQ(opened.newest, newest) << what;
    }
}

} // namespace
