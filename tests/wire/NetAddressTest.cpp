// Addresses of either family: the one comparison, the one text, and what an address field takes.
#include "NetAddress.h"

#include <gtest/gtest.h>

using namespace Tavrino;

TEST(NetAddress, ComparesAddressesNotTheirSpellings) {
    const struct {
        const char *a, *b;
        bool same;
    } pairs[] = {
        {"::1", "0:0:0:0:0:0:0:1", true},     {"::1", "[::1]", true},
        {"::ffff:127.0.0.1", "127.0.0.1", true}, {"2001:DB8::0:5", "2001:db8:0:0:0:0:0:5", true},
        {"2001:db8::5", "2001:db8::6", false}, {"::1", "127.0.0.1", false},
        {"127.0.0.1", "127.0.0.2", false},     {"[127.0.0.1]", "127.0.0.1", false},
        {"host.example", "host.example", true}, {"fe80::1%lo", "fe80::1", false},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(SameAddress(p.a, p.b), p.same) << p.a << " / " << p.b;
        EXPECT_EQ(SameAddress(p.b, p.a), p.same) << p.b << " / " << p.a;
        EXPECT_EQ(CanonicalAddress(p.a) == CanonicalAddress(p.b), p.same) << p.a << " / " << p.b;
    }
}

TEST(NetAddress, WritesEachAddressInItsShortestForm) {
    const struct {
        const char *text, *canonical, *withPort;
    } cases[] = {
        {"2001:0DB8:0000:0000:0000:0000:0000:0005", "2001:db8::5", "[2001:db8::5]:7"},
        {"2001:db8:0:1:0:0:0:1", "2001:db8:0:1::1", "[2001:db8:0:1::1]:7"}, // the longest run
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1", "[2001:db8::1:0:0:1]:7"}, // the first
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1", "[2001:db8:0:1:1:1:1:1]:7"},
        {"[::]", "::", "[::]:7"},
        {"::ffff:10.1.2.3", "10.1.2.3", "10.1.2.3:7"},
        {"fe80::1%lo", "fe80::1%lo", "[fe80::1%lo]:7"},
        {"name.example", "name.example", "name.example:7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CanonicalAddress(c.text), c.canonical) << c.text;
        EXPECT_EQ(AddressWithPort(c.text, 7), c.withPort) << c.text;
    }
}

TEST(NetAddress, TellsWhatAnAddressFieldHolds) {
    const struct {
        const char* text;
        AddressKind kind;
    } cases[] = {
        {"192.0.2.7", AddressKind::Ipv4},          {"2001:db8::7", AddressKind::Ipv6},
        {"[2001:db8::7]", AddressKind::Ipv6},      {"::ffff:192.0.2.7", AddressKind::Ipv6},
        {"host-1.example.org.", AddressKind::HostName}, {"localhost", AddressKind::HostName},
        {"192.168.1.300", AddressKind::Invalid},   {"2001:db8::7::1", AddressKind::Invalid},
        {"[192.0.2.7]", AddressKind::Invalid},     {"[2001:db8::7", AddressKind::Invalid},
        {"192.0.2.7:33550", AddressKind::Invalid}, {"host name", AddressKind::Invalid},
        {"-host.example", AddressKind::Invalid},   {"a..example", AddressKind::Invalid},
        {"", AddressKind::Invalid},                {"ホスト.example", AddressKind::Invalid},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyAddress(c.text), c.kind) << c.text;
}
