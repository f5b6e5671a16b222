// SPDX-License-Identifier: GPL-3.0-or-later
// The host's admission without a window: user lookup, pins, homes, the policy and the brakes.
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
        AddUser(User("carol", "pw3"));
    }
    // Decide, and when it accepts, the control's TRUE reported back.
    Action Ask(const QString& ip, const QString& userData, bool secure, qint32 port = 40000) {
        last = admission->Decide(ip, port, userData, secure);
        if (last.action == Action::AcceptSecure || last.action == Action::AcceptStated)
            admission->Accepted(last, ip, port, 20);
        return last.action;
    }
    // A new run of the host with what the last one saved.
    void Restart() {
        const CallAdmission::Policy saved = admission->CurrentPolicy();
        admission = std::make_unique<CallAdmission>([this] { return now; });
        admission->CurrentPolicy() = saved;
    }
    QString Log() const { return last.log.join('\n'); }

    qint64 now = 0;
    std::unique_ptr<CallAdmission> admission =
        std::make_unique<CallAdmission>([this] { return now; });
    CallAdmission::Decision last;
};

} // namespace

TEST_F(CallAdmissionTest, EachRequestGetsItsAnswerAndNoneShowsWhetherItsUserExists) {
    const std::tuple<QString, bool, Action, QString> rows[] = {
        {"ID=alice&Password=pw", false, Action::AcceptStated, "accepted: user alice"},
        {"ID=alice&Password=PW", false, Action::Ignore, "not answered: wrong password for user alice"},
        {"ID=nobody&Password=pw", false, Action::Ignore, "not answered: unknown user"},
        {"ID=alice", true, Action::AcceptSecure, "answered: user alice (encrypted), awaiting"},
        {"ID=bob", true, Action::Refuse, "refused: user bob is disabled"},
        // Unknown names are answered as if they held a password: nobody's.
        {"ID=nobody", true, Action::AcceptSecure, "answered: unknown user (encrypted)"},
        {"ID=alice&Password=pw", true, Action::AcceptSecure, "answered: unknown user"},
    };
    QStringList passwords;
    for (const auto& [userData, secure, action, log] : rows) {
        SCOPED_TRACE(qPrintable(userData));
        EXPECT_EQ(Ask(QStringLiteral("10.0.0.%1").arg(++now), userData, secure), action);
        EXPECT_TRUE(Log().contains(log)) << qPrintable(Log());
        passwords << last.password;
    }
    // A decoy is the same for each request of a name, and another after a restart.
    EXPECT_EQ(passwords[3], "pw");
    EXPECT_EQ(passwords[5].size(), 64);
    Ask("10.0.1.1", "ID=nobody", true);
    EXPECT_EQ(last.password, passwords[5]);
    Restart();
    Ask("10.0.1.2", "ID=nobody", true);
    EXPECT_NE(last.password, passwords[5]);

    // Refusing unencrypted calls leaves encrypted ones alone.
    admission->CurrentPolicy().acceptUnencrypted = false;
    EXPECT_EQ(Ask("10.0.0.4", "ID=alice&Password=pw", false), Action::Ignore);
    EXPECT_TRUE(Log().contains("unencrypted calls are not accepted"));
    EXPECT_EQ(Ask("10.0.0.4", "ID=alice", true), Action::AcceptSecure);
}

TEST_F(CallAdmissionTest, OnlyTheConfirmedAttemptIsCreditedAndEveryGuessCountsOnBothPaths) {
    // Two attempts from one socket, carol's then alice's; carol's confirms. Only carol
    // is shown, pinned, trusted and forgiven; alice's attempt stays a failure.
    Ask("10.0.0.1", "ID=carol", true);
    Ask("10.0.0.1", "ID=alice", true);
    CallAdmission::Caller caller = admission->Connected("10.0.0.1", 40000, "carol");
    EXPECT_TRUE(caller.known && caller.secure && caller.policyChanged);
    EXPECT_EQ(caller.userName, "carol");
    EXPECT_TRUE(caller.log.join('\n').contains("not confirmed: user alice, counted as a failed"));
    EXPECT_EQ(admission->CurrentPolicy().pinnedUsers, QSet<QString>{"carol"});
    EXPECT_EQ(admission->CurrentPolicy().homes.value("carol"), QStringList{"10.0.0.1"});
    // A stated request naming the pinned user gets no answer, its copies no more log.
    for (int copy = 0; copy < 2; ++copy) {
        EXPECT_EQ(Ask("10.0.0.3", "ID=carol&Password=pw3", false), Action::Ignore);
        EXPECT_EQ(last.log.size(), copy == 0 ? 1 : 0);
    }

    // Stated guesses at alice from four addresses, three each: no address is blocked,
    // but her per-user bound is (8, with the failed attempt above), on both paths, and
    // from an address she has not confirmed from even her right password gets nowhere.
    for (int i = 0; i < 12; ++i)
        Ask(QStringLiteral("10.1.0.%1").arg(i % 4), QStringLiteral("ID=alice&Password=g%1").arg(i),
            false);
    EXPECT_EQ(Ask("10.2.0.1", "ID=alice&Password=pw", false), Action::Ignore);
    EXPECT_TRUE(Log().contains("held back")) << qPrintable(Log());
    EXPECT_EQ(Ask("10.2.0.2", "ID=alice", true), Action::Refuse); // a secure reject, not silence
    EXPECT_EQ(Ask("10.2.0.3", "ID=nobody", true), Action::AcceptSecure); // other names unaffected

    // Five unconfirmed attempts block an address: encrypted requests from it get 23s.
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(Ask("10.0.0.9", "ID=carol", true, 40000 + i), Action::AcceptSecure) << i;
    EXPECT_TRUE(Log().contains("calls from 10.0.0.9 not answered for 60 s"));
    EXPECT_TRUE(last.addressBlocked);
    EXPECT_EQ(Ask("10.0.0.9", "ID=carol", true), Action::Refuse);
    EXPECT_EQ(Ask("10.0.0.9", "ID=carol&Password=pw3", false), Action::Ignore);

    // Never confirmed: each expires with a line of its own, once.
    now += 22000;
    const QStringList expired = admission->Expire();
    EXPECT_EQ(expired.filter("not confirmed in time").size(), 6) << qPrintable(expired.join('\n'));
    EXPECT_TRUE(admission->Expire().isEmpty());
}

TEST_F(CallAdmissionTest, AHomeHasABudgetOfItsOwnThatOthersCannotSpendAndARestartKeeps) {
    ASSERT_EQ(Ask("2001:db8:1:2::7", "ID=alice", true), Action::AcceptSecure);
    admission->Connected("2001:db8:1:2::7", 40000, "alice");
    Restart();
    // Another user's guesses from her home block the address for everyone else, and
    // guesses at alice elsewhere block her for new addresses; at home (any address of
    // its /64) she is still admitted, by both kinds of request.
    for (int i = 0; i < 5; ++i)
        Ask("2001:db8:1:2::99", QStringLiteral("ID=carol&Password=g%1").arg(i), false);
    for (int i = 0; i < 8; ++i)
        Ask(QStringLiteral("10.3.0.%1").arg(i), "ID=alice", true);
    EXPECT_EQ(Ask("2001:db8:1:2::99", "ID=carol", true), Action::Refuse);
    EXPECT_EQ(Ask("10.3.1.1", "ID=alice", true), Action::Refuse);
    EXPECT_EQ(Ask("2001:db8:1:2::1", "ID=alice", true), Action::AcceptSecure);
    EXPECT_EQ(Ask("2001:db8:1:2::1", "ID=alice&Password=pw", false), Action::Ignore); // pinned
    // Her own failures at home spend her home budget only.
    for (int i = 0; i < 5; ++i)
        Ask("2001:db8:1:2::1", "ID=alice", true, 41000 + i);
    EXPECT_EQ(Ask("2001:db8:1:2::1", "ID=alice", true), Action::Refuse);
    EXPECT_TRUE(Log().contains("from this home address"));
    now += 60000;
    EXPECT_EQ(Ask("2001:db8:1:2::1", "ID=alice", true), Action::AcceptSecure);
}
