// SPDX-License-Identifier: GPL-3.0-or-later
// The brake on password guessing: counted per attempt, blocking, forgetting, bounded.
#include "AdmissionLimiter.h"

#include <gtest/gtest.h>

#include <tuple>

using Failure = AdmissionLimiter::Failure;

TEST(AdmissionLimiter, FiveNewAttemptsInAMinuteBlockTheAddressForAMinuteAndMemoryIsBounded) {
    qint64 now = 0;
    AdmissionLimiter limiter([&now] { return now; });
    // (ms, password, outcome): a copy, or the same wrong password again, counts once;
    // the first attempt is forgotten a minute later; nothing counts while blocked.
    const std::tuple<qint64, int, Failure> steps[] = {
        {0, 1, Failure::Counted},      {0, 1, Failure::Repeated},
        {10000, 2, Failure::Counted},  {20000, 3, Failure::Counted},
        {30000, 4, Failure::Counted},  {60000, 5, Failure::Counted},
        {60000, 6, Failure::Blocking}, {119999, 7, Failure::Repeated},
        {120000, 1, Failure::Counted}};
    for (const auto& [at, password, outcome] : steps) {
        now = at;
        EXPECT_EQ(limiter.Fail("10.0.0.1", QString::number(password)), outcome) << at;
        EXPECT_EQ(limiter.IsBlocked("10.0.0.1"), at >= 60000 && at < 120000 && password != 5) << at;
    }
    EXPECT_FALSE(limiter.IsBlocked("10.0.0.2"));
    // An address in any spelling is one caller; an IPv6 caller counts by its /64.
    for (const char* guesser : {"2001:db8:1:2::5", "2001:DB8:1:2:0::5", "2001:db8:1:2::6",
                                "2001:db8:1:2:ffff::1", "[2001:db8:1:2::5]"})
        limiter.Fail(guesser, guesser);
    EXPECT_TRUE(limiter.IsBlocked("2001:db8:1:2:aaaa::1"));
    EXPECT_FALSE(limiter.IsBlocked("2001:db8:1:3::5"));
    // A flood from ever new addresses is bounded.
    for (int i = 0; i < 3000; ++i)
        limiter.Fail(QString::number(i), "x");
    EXPECT_EQ(limiter.Followed(), 1024);
}
