// SPDX-License-Identifier: GPL-3.0-or-later
// Pending-call list tests: matching by address, refresh, ageing and the bound against floods.
#include "CPendingCallList.h"

#include <gtest/gtest.h>

#include <string>

TEST(PendingCallListTest, EntriesMatchByAddressAndPort) {
    CPendingCallList list;
    list.Add("127.0.0.1", 5000, CCallToken{1, 1});
    list.Add("127.0.0.1", 5001, CCallToken{2, 2});
    EXPECT_TRUE(list.Contains("127.0.0.1", 5000));
    // No resolution: a name or a malformed address is another caller, but another
    // spelling of the address is the same one.
    EXPECT_FALSE(list.Contains("127.0.0.01", 5000));
    EXPECT_FALSE(list.Contains("localhost", 5000));
    EXPECT_FALSE(list.Contains("127.0.0.1", 5002));
    list.Add("2001:db8::5", 5000, CCallToken{4, 4});
    EXPECT_TRUE(list.Contains("2001:DB8:0:0::5", 5000) && list.Contains("::ffff:127.0.0.1", 5000));
    list.Remove("[2001:db8:0::5]", 5000);
    EXPECT_FALSE(list.Contains("2001:db8::5", 5000));

    CCallToken token;
    ASSERT_TRUE(list.TokenOf("127.0.0.1", 5001, &token));
    EXPECT_EQ(token, (CCallToken{2, 2}));
    EXPECT_FALSE(list.TokenOf("127.0.0.2", 5001, &token));
    EXPECT_EQ(token, (CCallToken{2, 2})); // untouched on a miss

    list.Refresh("127.0.0.1", 5001, CCallToken{3, 3});
    ASSERT_TRUE(list.TokenOf("127.0.0.1", 5001, &token));
    EXPECT_EQ(token, (CCallToken{3, 3}));

    list.Remove("127.0.0.1", 5000);
    EXPECT_FALSE(list.Contains("127.0.0.1", 5000));
    EXPECT_TRUE(list.Contains("127.0.0.1", 5001));
    list.Remove("127.0.0.1", 5000); // absent: nothing happens
    EXPECT_EQ(list.Size(), 1u);
    list.Clear();
    EXPECT_EQ(list.Size(), 0u);
}

TEST(PendingCallListTest, AnEntrySurvivesOneAgeingAfterItsLastRefresh) {
    CPendingCallList list;
    list.Add("a", 1, CCallToken{1, 1});
    list.Add("b", 2, CCallToken{2, 2});
    list.Add("c", 3, CCallToken{3, 3});
    list.Age();
    EXPECT_EQ(list.Size(), 3u);
    list.Refresh("b", 2, CCallToken{4, 4});
    list.Age();
    // Adjacent stale entries at the head are both removed by one walk.
    EXPECT_FALSE(list.Contains("a", 1));
    EXPECT_TRUE(list.Contains("b", 2));
    EXPECT_FALSE(list.Contains("c", 3));
    list.Age();
    EXPECT_EQ(list.Size(), 0u);
}

TEST(PendingCallListTest, FloodDropsTheLeastRecentlyHeardCaller) {
    CPendingCallList list;
    list.Add("10.0.0.1", 1, CCallToken{1, 1}); // a real caller, heard first
    for (int i = 0; i < 300; ++i) {
        list.Add("192.0.2.1", 10000 + i, CCallToken{9, static_cast<uint32_t>(i)});
        if (i % 100 == 50)
            list.Refresh("10.0.0.1", 1, CCallToken{1, 1}); // its repetition
        EXPECT_LE(list.Size(), CPendingCallList::kMaxEntries);
    }
    EXPECT_EQ(list.Size(), CPendingCallList::kMaxEntries);
    // Refreshed at i = 250, so younger than every flood entry dropped after that.
    EXPECT_TRUE(list.Contains("10.0.0.1", 1));
    EXPECT_TRUE(list.Contains("192.0.2.1", 10299));
    EXPECT_FALSE(list.Contains("192.0.2.1", 10000));
}
