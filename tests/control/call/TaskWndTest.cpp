// SPDX-License-Identifier: GPL-3.0-or-later
// CTaskWnd: timers by id, report delivery from the event loop, the announcement guard.
#include "CTaskWnd.h"
#include "WaitFor.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

class FakeOwner : public ICallEventSink {
public:
    std::vector<std::string> log;
    std::function<void(int32_t)> onStatus;
    std::function<void(const std::string&)> onConnection;

    void OnTimerTick(int id) { log.push_back("tick " + std::to_string(id)); }
    CTaskWnd::TimerTick Ticks() {
        return [this](int id) { OnTimerTick(id); };
    }
    void FireStatus(int32_t code) override {
        log.push_back("status " + std::to_string(code));
        if (onStatus) {
            onStatus(code);
        }
    }
    void FireText(const std::string& text, const std::string& userData) override {
        log.push_back("text " + text + "|" + userData);
    }
    void FireConnection(const std::string& address, int32_t port,
                        const std::string& userData) override {
        log.push_back("connection " + address + ":" + std::to_string(port) + " " + userData);
        if (onConnection) {
            onConnection(address);
        }
    }

    int Count(const std::string& entry) const {
        return static_cast<int>(std::count(log.begin(), log.end(), entry));
    }
    std::vector<std::string> Reports() const {
        std::vector<std::string> out;
        std::copy_if(log.begin(), log.end(), std::back_inserter(out),
                     [](const std::string& s) { return s.rfind("tick", 0) != 0; });
        return out;
    }
};

void Drain() {
    // Posted events are delivered by the loop; a few passes deliver one report each.
    for (int i = 0; i < 200; ++i) {
        QCoreApplication::processEvents();
    }
}

class TaskWndTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(wnd.Create(owner.Ticks(), &owner)); }
    FakeOwner owner;
    CTaskWnd wnd;
};

} // namespace

TEST(TaskWndLifecycle, CreateRunsThePermanentTimersAndDestroyStopsAll) {
    FakeOwner owner;
    CTaskWnd wnd;
    EXPECT_FALSE(wnd.Create({}, &owner));
    wnd.StartTimer(TIMER_RESEND, 10); // no window yet: ignored
    EXPECT_FALSE(wnd.IsTimerActive(TIMER_RESEND));

    ASSERT_TRUE(wnd.Create(owner.Ticks(), &owner));
    for (int id = 0; id < CTaskWnd::kTimerCount; ++id) {
        const bool permanent = id == TIMER_RATE || id == TIMER_PENDING_AGE;
        EXPECT_EQ(wnd.IsTimerActive(id), permanent) << "timer " << id;
    }
    ASSERT_TRUE(WaitFor([&] { return owner.Count("tick 0") > 0; }, 5000));

    wnd.StartTimer(TIMER_CALL_TIMEOUT, 20000);
    wnd.StartTimer(TIMER_NEXT_ADDRESS, 20000);
    wnd.Destroy();
    for (int id = 0; id < CTaskWnd::kTimerCount; ++id) {
        EXPECT_FALSE(wnd.IsTimerActive(id)) << "timer " << id;
    }
    wnd.Destroy();
    EXPECT_FALSE(wnd.IsCreated());
}

TEST_F(TaskWndTest, ReportsArriveInPostingOrderAndNeverInsideThePostingCall) {
    wnd.PostStatus(51);
    wnd.PostText("hello", "ID=a");
    wnd.PostConnection("10.0.0.7", 33550, "ID=bob&Password=x");
    wnd.PostStatus(53);
    EXPECT_TRUE(owner.Reports().empty());

    // A report posted from inside a handler is not fired before that post returns.
    bool firedInsidePost = false;
    owner.onStatus = [&](int32_t code) {
        if (code == 51) {
            const size_t before = owner.log.size();
            wnd.PostStatus(99);
            firedInsidePost = owner.log.size() != before;
        }
    };
    Drain();
    EXPECT_FALSE(firedInsidePost);
    EXPECT_EQ(owner.Reports(),
              (std::vector<std::string>{"status 51", "text hello|ID=a",
                                        "connection 10.0.0.7:33550 ID=bob&Password=x", "status 53",
                                        "status 99"}));
}

TEST_F(TaskWndTest, AnnouncementDuringOnConnectionEventIsDroppedOthersNest) {
    int calls = 0;
    owner.onConnection = [&](const std::string& address) {
        if (++calls > 1 || address != "10.0.0.1") {
            return;
        }
        // The host shows a modal dialog: its loop runs while the handler is active.
        wnd.PostConnection("10.0.0.2", 1000, "second caller");
        wnd.PostConnection("10.0.0.3", 1000, "third caller");
        wnd.PostStatus(52);
        Drain();
    };
    wnd.PostConnection("10.0.0.1", 1000, "first caller");
    Drain();
    EXPECT_EQ(owner.Reports(),
              (std::vector<std::string>{"connection 10.0.0.1:1000 first caller", "status 52"}));

    // The guard is released after the handler: the next repetition is announced.
    wnd.PostConnection("10.0.0.2", 1000, "second caller");
    Drain();
    EXPECT_EQ(owner.Count("connection 10.0.0.2:1000 second caller"), 1);
}

TEST_F(TaskWndTest, NothingFiresAfterDestroy) {
    wnd.PostStatus(51);
    wnd.PostText(std::string(100000, 't'), std::string(100000, 'u')); // freed with the queue
    wnd.PostConnection("10.0.0.1", 1, "x");
    wnd.StartTimer(TIMER_KEEPALIVE, 10);
    wnd.Destroy();
    QTest::qWait(100);
    EXPECT_TRUE(owner.log.empty());

    wnd.PostStatus(54); // no window: dropped
    Drain();
    EXPECT_TRUE(owner.log.empty());

    // A new window does not resurrect the old reports.
    ASSERT_TRUE(wnd.Create(owner.Ticks(), &owner));
    wnd.PostStatus(50);
    Drain();
    EXPECT_EQ(owner.Reports(), std::vector<std::string>{"status 50"});
}

TEST_F(TaskWndTest, DestroyFromInsideAHandlerDropsTheRest) {
    owner.onStatus = [&](int32_t code) {
        if (code == 1) {
            wnd.Destroy();
        }
    };
    wnd.PostStatus(1);
    wnd.PostStatus(2);
    wnd.PostConnection("10.0.0.1", 1, "x");
    Drain();
    EXPECT_EQ(owner.Reports(), std::vector<std::string>{"status 1"});
}

TEST(TaskWndLifecycle, DeletionDropsQueuedReportsAndMayHappenInsideAHandler) {
    FakeOwner owner;
    auto wnd = std::make_unique<CTaskWnd>();
    ASSERT_TRUE(wnd->Create(owner.Ticks(), &owner));
    wnd->PostText(std::string(5000, 'a'), "b");
    wnd->PostConnection("10.0.0.1", 1, "x");
    wnd.reset();
    Drain();
    EXPECT_TRUE(owner.log.empty());

    // The host may tear everything down from inside its OnConnectionEvent handler.
    wnd = std::make_unique<CTaskWnd>();
    ASSERT_TRUE(wnd->Create(owner.Ticks(), &owner));
    owner.onConnection = [&](const std::string&) { wnd.reset(); };
    wnd->PostConnection("10.0.0.1", 1, "x");
    wnd->PostStatus(53);
    Drain();
    EXPECT_EQ(owner.Reports(), std::vector<std::string>{"connection 10.0.0.1:1 x"});
}

TEST_F(TaskWndTest, TimersTickWithTheirIdsAndRestartWithTheNewPeriod) {
    wnd.StartTimer(TIMER_SUPERVISION, 20);
    ASSERT_TRUE(WaitFor([&] { return owner.Count("tick 2") >= 3; }, 5000));

    // Started again with a long period before it fired: the short one is gone.
    wnd.StartTimer(TIMER_NEXT_ADDRESS, 30);
    wnd.StartTimer(TIMER_NEXT_ADDRESS, 600000);
    QTest::qWait(300);
    EXPECT_EQ(owner.Count("tick 8"), 0);
    EXPECT_TRUE(wnd.IsTimerActive(TIMER_NEXT_ADDRESS));

    wnd.StopTimer(TIMER_SUPERVISION);
    EXPECT_FALSE(wnd.IsTimerActive(TIMER_SUPERVISION));
    const int ticks = owner.Count("tick 2");
    QTest::qWait(100);
    EXPECT_EQ(owner.Count("tick 2"), ticks);

    // Ids outside 0..8 are ignored.
    wnd.StartTimer(CTaskWnd::kTimerCount, 10);
    wnd.StartTimer(-1, 10);
    wnd.StopTimer(42);
    EXPECT_FALSE(wnd.IsTimerActive(CTaskWnd::kTimerCount));
}

TEST_F(TaskWndTest, ZeroPeriodIsRaisedToTheMinimumInsteadOfSpinning) {
    wnd.StartTimer(TIMER_RESEND, 0);
    EXPECT_TRUE(wnd.IsTimerActive(TIMER_RESEND));
    QTest::qWait(200);
    wnd.StopTimer(TIMER_RESEND);
    const int ticks = owner.Count("tick 3");
    EXPECT_GE(ticks, 1);
    EXPECT_LE(ticks, 40); // a 0 ms timer would have fired thousands of times
}

TEST_F(TaskWndTest, FloodOfAnnouncementsKeepsOnlyTheNewest) {
    std::vector<std::string> expected;
    const int total = 100;
    for (int i = 0; i < total; ++i) {
        wnd.PostConnection("10.0.1." + std::to_string(i), i, "u");
        if (i >= total - CTaskWnd::kMaxQueuedAnnouncements) {
            expected.push_back("connection 10.0.1." + std::to_string(i) + ":" + std::to_string(i) +
                               " u");
        }
        if (i % 10 == 0) {
            wnd.PostStatus(i); // statuses are never dropped
            expected.push_back("status " + std::to_string(i));
        }
    }
    EXPECT_EQ(wnd.QueuedReports(), CTaskWnd::kMaxQueuedAnnouncements + 10);
    Drain();
    // The survivors arrive in posting order; only the oldest announcements are gone.
    EXPECT_EQ(owner.Reports(), expected);
    EXPECT_EQ(wnd.QueuedReports(), 0);

    // Normal traffic is untouched: a few announcements all arrive.
    owner.log.clear();
    for (int i = 0; i < 5; ++i) {
        wnd.PostConnection("10.0.2.1", i, "u");
    }
    Drain();
    EXPECT_EQ(owner.Reports().size(), 5u);
}
