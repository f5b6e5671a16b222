// SPDX-License-Identifier: GPL-3.0-or-later
// The host's admission without a window: user lookup, pins, the policy and both brakes.
#include "CallAdmission.h"
#include "HostUsers.h"

#include <gtest/gtest.h>

using Action = CallAdmission::Action;

namespace {

class CallAdmissionTest : public testing::Test {
protected:
    void SetUp() override {
        ClearUsers();
        AddUser(User("alice", "pw"));
        AddUser(User("bob", "pw2", 1));
    }
    // Decide, and when it accepts, the control's TRUE reported back.
    Action Ask(const QString& ip, const QString& userData, bool secure, qint32 port = 40000) {
        last = admission.Decide(ip, port, userData, secure);
        if (last.action == Action::AcceptSecure || last.action == Action::AcceptStated)
            admission.Accepted(last, ip, port);
        return last.action;
    }

    qint64 now = 0;
    CallAdmission admission{[this] { return now; }};
    CallAdmission::Decision last;
};

} // namespace

TEST_F(CallAdmissionTest, EachRequestGetsItsAnswerAndAnEncryptedCallerIsPinned) {
    const std::tuple<QString, bool, Action, QString> rows[] = {
        {"ID=alice&Password=pw", false, Action::AcceptStated, "accepted: user alice"},
        {"ID=alice&Password=PW", false, Action::Ignore, "not answered: unknown user"},
        {"ID=alice", true, Action::AcceptSecure, "accepted: user alice (encrypted)"},
        {"ID=bob", true, Action::Refuse, "refused: user bob is disabled"},
        {"ID=nobody", true, Action::Ignore, "not answered: unknown user"},
        // A secure request's user data is "ID=" and the name; its password is never read.
        {"ID=alice&Password=pw", true, Action::Ignore, "not answered: unknown user"},
    };
    for (const auto& [userData, secure, action, log] : rows) {
        SCOPED_TRACE(qPrintable(userData));
        EXPECT_EQ(Ask("10.0.0.1", userData, secure), action);
        EXPECT_EQ(last.password, action == Action::AcceptSecure ? "pw" : "");
        EXPECT_TRUE(last.log.join('\n').contains(log));
    }

    // The encrypted caller connects: alice is pinned and a stated request naming her,
    // even with her password, gets no answer; its copies log nothing more.
    ASSERT_EQ(Ask("10.0.0.2", "ID=alice", true), Action::AcceptSecure);
    const CallAdmission::Caller caller = admission.Connected("10.0.0.2", 40000);
    EXPECT_TRUE(caller.known && caller.secure && caller.newlyPinned);
    EXPECT_EQ(caller.userName, "alice");
    EXPECT_TRUE(admission.CurrentPolicy().pinnedUsers.contains("alice"));
    for (int copy = 0; copy < 2; ++copy) {
        EXPECT_EQ(Ask("10.0.0.3", "ID=alice&Password=pw", false), Action::Ignore);
        EXPECT_EQ(last.log.size(), copy == 0 ? 1 : 0);
    }
    // Refusing unencrypted calls leaves encrypted ones alone.
    admission.CurrentPolicy().acceptUnencrypted = false;
    admission.CurrentPolicy().pinnedUsers.clear();
    EXPECT_EQ(Ask("10.0.0.4", "ID=alice&Password=pw", false), Action::Ignore);
    EXPECT_TRUE(last.log.join(' ').contains("unencrypted calls are not accepted"));
    EXPECT_EQ(Ask("10.0.0.4", "ID=alice", true), Action::AcceptSecure);
}

TEST_F(CallAdmissionTest, UnconfirmedAttemptsCountByAddressAndByUserButConfirmedOnesDoNot) {
    // Confirmed calls are taken back: however many, nobody is blocked.
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(Ask("10.0.0.1", "ID=alice", true), Action::AcceptSecure) << i;
        admission.Connected("10.0.0.1", 40000);
    }
    // Five guesses that never confirm block their address, not another one.
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(Ask("10.0.0.9", "ID=alice", true, 40000 + i), Action::AcceptSecure) << i;
    EXPECT_TRUE(last.log.join(' ').contains("calls from 10.0.0.9 not answered for 60 s"));
    EXPECT_EQ(Ask("10.0.0.9", "ID=alice", true), Action::Ignore);
    EXPECT_EQ(Ask("10.0.0.8", "ID=alice", true), Action::AcceptSecure);
    // Guesses from many addresses: eight for one user stop it for new addresses only;
    // the address alice connected from still gets in, and other users are untouched.
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(Ask(QStringLiteral("10.1.0.%1").arg(i), "ID=alice", true), Action::AcceptSecure);
    EXPECT_TRUE(last.log.join(' ').contains("calls for user alice from new addresses"));
    EXPECT_EQ(Ask("10.2.0.1", "ID=alice", true), Action::Ignore);
    EXPECT_EQ(Ask("10.0.0.1", "ID=alice", true), Action::AcceptSecure);
    EXPECT_EQ(Ask("10.2.0.1", "ID=bob", true), Action::Refuse);
    now += CallAdmission::kUserLimits.blockMs;
    EXPECT_EQ(Ask("10.2.0.2", "ID=alice", true), Action::AcceptSecure);
}
