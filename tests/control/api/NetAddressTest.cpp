// SPDX-License-Identifier: GPL-3.0-or-later
// Addresses of either family: the one comparison and the one text of each (what an address
// field takes: tests/remote/SetupDialogsTest.cpp).
#include "NetAddress.h"

#include <gtest/gtest.h>

using namespace Tavrino;

TEST(NetAddress, ComparesAddressesNotTheirSpellings) {
    const std::tuple<const char*, const char*, bool> pairs[] = {
        {"::1", "0:0:0:0:0:0:0:1", true},        {"::1", "[::1]", true},
        {"::ffff:127.0.0.1", "127.0.0.1", true}, {"2001:DB8::0:5", "2001:db8:0:0:0:0:0:5", true},
        {"2001:db8::5", "2001:db8::6", false},   {"::1", "127.0.0.1", false},
        {"[127.0.0.1]", "127.0.0.1", false},     {"fe80::1%lo", "fe80::1", false},
    };
    for (const auto& [a, b, same] : pairs) {
        EXPECT_EQ(SameAddress(a, b) && SameAddress(b, a), same) << a << " / " << b;
        EXPECT_EQ(CanonicalAddress(a) == CanonicalAddress(b), same) << a << " / " << b;
    }
}

TEST(NetAddress, WritesEachAddressInItsShortestForm) {
    // The longest run of zero groups, the first of two, never one group alone.
    const std::pair<const char*, const char*> cases[] = {
        {"2001:0DB8:0000:0000:0000:0000:0000:0005", "2001:db8::5"},
        {"2001:db8:0:1:0:0:0:1", "2001:db8:0:1::1"},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},
        {"[::]", "::"},
        {"fe80::1%lo", "fe80::1%lo"}};
    for (const auto& [text, canonical] : cases)
        EXPECT_EQ(CanonicalAddress(text), canonical) << text;
}
