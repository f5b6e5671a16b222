// SPDX-License-Identifier: GPL-3.0-or-later
// Local address lookup: formatting, the loopback rule and the system resolver.
#include "modHvnIPAddress.h"
#include "modHvnRegistry.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

Ipv4Resolver Answer(std::vector<Ipv4Address> addresses) {
    return [addresses](const QByteArray&) { return addresses; };
}

class LocalAddressTest : public ::testing::Test {
protected:
    void SetUp() override { g_strLanguage = QStringLiteral("English"); }
    void TearDown() override { g_strLanguage = QStringLiteral("English"); }
};

TEST_F(LocalAddressTest, FirstAddressInDottedDecimal) {
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{192, 168, 0, 10}})), "192.168.0.10");
    // Only the first of several addresses is shown.
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{10, 1, 2, 3}, {192, 168, 0, 10}})), "10.1.2.3");
    // Zero bytes are written "0", high bytes unsigned, no leading zeros.
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{10, 0, 0, 0}})), "10.0.0.0");
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{255, 254, 128, 7}})), "255.254.128.7");
}

TEST_F(LocalAddressTest, ResolverIsAskedForTheGivenHostName) {
    QByteArray asked;
    const Ipv4Resolver spy = [&asked](const QByteArray& name) {
        asked = name;
        return std::vector<Ipv4Address>{{172, 16, 5, 4}};
    };
    EXPECT_EQ(GetLocalIPAddress("tessora-host", spy), "172.16.5.4");
    EXPECT_EQ(asked, "tessora-host");
}

TEST_F(LocalAddressTest, LoopbackAndNoAddressGiveTheNoAddressWord) {
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{127, 0, 0, 1}})), "Unknown");
    // Debian maps the host name to 127.0.1.1: the whole 127 block is loopback.
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{127, 0, 1, 1}})), "Unknown");
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{127, 255, 255, 254}})), "Unknown");
    // The first address decides, as only it is ever shown.
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{127, 0, 1, 1}, {192, 168, 0, 10}})), "Unknown");
    EXPECT_EQ(GetLocalIPAddress("station", Answer({})), "Unknown");
    EXPECT_EQ(GetLocalIPAddress("station", Ipv4Resolver{}), "Unknown");
    // 126.x and 128.x are ordinary addresses.
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{126, 0, 0, 1}})), "126.0.0.1");
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{128, 0, 0, 1}})), "128.0.0.1");
}

TEST_F(LocalAddressTest, NoAddressWordFollowsTheLanguage) {
    g_strLanguage = QStringLiteral("Japanese");
    EXPECT_EQ(GetLocalIPAddress("station", Answer({})), QStringLiteral("不明"));
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{127, 0, 0, 1}})), QStringLiteral("不明"));
    EXPECT_EQ(GetLocalIPAddress("station", Answer({{192, 168, 0, 10}})), "192.168.0.10");
}

// The system resolver, on names that resolve the same on every machine.
TEST_F(LocalAddressTest, SystemResolverKeepsTheByteOrder) {
    const std::vector<Ipv4Address> numeric = ResolveIpv4("192.168.0.10");
    ASSERT_EQ(numeric.size(), 1u);
    EXPECT_EQ(FormatIpv4(numeric.front()), "192.168.0.10");

    const std::vector<Ipv4Address> local = ResolveIpv4("localhost");
    ASSERT_FALSE(local.empty());
    EXPECT_EQ(FormatIpv4(local.front()), "127.0.0.1");

    EXPECT_TRUE(ResolveIpv4("").empty());
    // The .invalid domain never resolves.
    EXPECT_TRUE(ResolveIpv4("no-such-station.invalid").empty());
}

TEST_F(LocalAddressTest, ThisMachineGivesUnknownOrAReachableAddress) {
    const QByteArray name = LocalHostName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_LT(name.size(), 256);
    EXPECT_FALSE(name.contains('\0'));

    const QString address = GetLocalIPAddress();
    if (address != QLatin1String("Unknown")) {
        static const QRegularExpression dotted(
            QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
        const QRegularExpressionMatch m = dotted.match(address);
        ASSERT_TRUE(m.hasMatch()) << address.toStdString();
        EXPECT_NE(m.captured(1), "127") << address.toStdString();
        for (int i = 1; i <= 4; ++i)
            EXPECT_LE(m.captured(i).toInt(), 255);
    }
}

} // namespace

TEST(GlobalIpv6Address, TheFirstStableGlobalAddressElseATemporaryOne) {
    // 2001:db8::N (fe01:db8::N, fd01:db8::N for the first byte given) with scope and flags.
    const auto at = [](quint8 first, quint8 last, int scope, unsigned flags) {
        return Ipv6Entry{
            {first, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, last}, scope, flags};
    };
    const Ipv6Entry linkLocal = at(0xfe, 2, 0x20, 0x80), ula = at(0xfd, 3, 0, 0x80),
                    temporary = at(0x20, 4, 0, 0x01), deprecated = at(0x20, 5, 0, 0x20),
                    tentative = at(0x20, 6, 0, 0x40), stable = at(0x20, 7, 0, 0x80);
    const std::pair<std::vector<Ipv6Entry>, const char*> cases[] = {
        {{linkLocal, ula, temporary, deprecated, tentative, stable}, "2001:db8::7"},
        {{temporary, deprecated}, "2001:db8::4"},
        {{linkLocal, ula, deprecated, tentative}, ""}};
    for (const auto& [entries, shown] : cases)
        EXPECT_EQ(GetGlobalIPv6Address([&] { return entries; }), shown);
    // The kernel's own list (ListIpv6Addresses) is read in tests/e2e/router.sh, whose pinhole
    // needs the address it finds.
}
