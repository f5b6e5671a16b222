// SPDX-License-Identifier: GPL-3.0-or-later
// The router port mapper against a fake router: what it reports, what it
// leaves on the router (forwarding and IPv6 pinhole), and that a router that
// never answers cannot hold it.
// (Mending, removal on offline and exit: tests/e2e/router.sh, on a real router.)
#include "CPortMapper.h"
#include "UpnpGateway.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <map>
#include <mutex>

namespace {

constexpr quint16 kPort = 33550;
const QString kUs = QStringLiteral("10.1.0.2"), kOther = QStringLiteral("10.1.0.9");
using State = PortMapReport::State;

struct Router { // shared by the test and the mapper's worker
    std::mutex mutex;
    bool present = true, lies = false, hang = false, searching = false;
    int addError = 0;
    std::map<quint16, GatewayMapping> table;
    IPinholeGateway::Found ipv6 = IPinholeGateway::Found::NothingToOpen;
    int pinholeError = 0, nextHole = 1;
    std::map<QString, quint16> holes; // by id
    template <class F> auto Locked(F f) {
        const std::lock_guard lock(mutex);
        return f(*this);
    }
    bool Holds(const QString& client) {
        return Locked([&](Router& r) {
            return r.table.count(kPort) && r.table[kPort].internalClient == client;
        });
    }
};

struct FakeGateway final : IGateway {
    std::shared_ptr<Router> r;
    explicit FakeGateway(std::shared_ptr<Router> router) : r(std::move(router)) {}
    bool Discover(int) override {
        while (r->Locked([](Router& x) { return x.searching = x.hang; }))
            QThread::msleep(10);
        return r->Locked([](Router& x) { return x.present; });
    }
    QString LocalAddress() const override { return kUs; }
    int ExternalAddress(QString* a) override { return *a = QStringLiteral("11.22.33.1"), 0; }
    int GetMapping(quint16 p, GatewayMapping* f) override {
        return r->Locked([&](Router& x) { return x.table.count(p) ? (*f = x.table[p], 0) : 714; });
    }
    int AddMapping(quint16 p, const QString& c, int) override {
        return r->Locked([&](Router& x) {
            return x.addError == 0 && !x.lies ? (x.table[p] = {c, p}, 0) : x.addError;
        });
    }
    int DeleteMapping(quint16 p) override {
        return r->Locked([&](Router& x) { return x.table.erase(p), 0; });
    }
};

const QString kUs6 = QStringLiteral("2001:db8:1::2");

struct FakePinholes final : IPinholeGateway {
    std::shared_ptr<Router> r;
    explicit FakePinholes(std::shared_ptr<Router> router) : r(std::move(router)) {}
    Found Discover(int) override {
        return r->Locked([](Router& x) { return x.ipv6; });
    }
    QString LocalAddress() const override { return kUs6; }
    int AddPinhole(quint16 p, const QString&, int, QString* id) override {
        return r->Locked([&](Router& x) {
            return x.pinholeError ? x.pinholeError
                                  : (x.holes[*id = QString::number(x.nextHole++)] = p, 0);
        });
    }
    int UpdatePinhole(const QString& id, int) override { return CheckPinhole(id); }
    int CheckPinhole(const QString& id) override {
        return r->Locked([&](Router& x) { return x.holes.count(id) ? 0 : kUpnpNoSuchPinhole; });
    }
    int DeletePinhole(const QString& id) override {
        return r->Locked([&](Router& x) { return x.holes.erase(id), 0; });
    }
};

struct Fixture {
    std::shared_ptr<Router> router = std::make_shared<Router>();
    std::unique_ptr<CPortMapper> mapper =
        std::make_unique<CPortMapper>([r = router] { return std::make_unique<FakeGateway>(r); },
                                      PortMapperTiming{10, 50, 3600, 3000});
    QSignalSpy spy{mapper.get(), &CPortMapper::Changed};
};

TEST(PortMapper, ReportsWhatTheRouterDid) {
    const struct {
        const char* what;
        std::function<void(Router&)> setUp;
        PortMapReport expected;
        QString holder; // who has the port on the router afterwards
    } cases[] = {
        {"opened", [](Router&) {}, {State::Open, kPort, "11.22.33.1", 0}, kUs},
        {"no router", [](Router& r) { r.present = false; }, {State::NoGateway, kPort, {}, 0}, {}},
        {"refused", [](Router& r) { r.addError = 606; }, {State::Refused, kPort, {}, 606}, {}},
        {"says yes, forwards nothing",
         [](Router& r) { r.lies = true; },
         {State::Refused, kPort, {}, 714},
         {}},
        {"taken, not stolen",
         [](Router& r) {
             r.table[kPort] = {kOther, kPort};
         },
         {State::Taken, kPort, kOther, 718},
         kOther},
    };
    for (const auto& c : cases) {
        Fixture f;
        c.setUp(*f.router);
        f.mapper->Start(kPort);
        ASSERT_TRUE(f.spy.wait(5000)) << c.what;
        EXPECT_EQ(f.mapper->Report(), c.expected) << c.what;
        EXPECT_EQ(f.mapper->PublicAddress(), c.expected.state == State::Open ? "11.22.33.1" : "");
        EXPECT_TRUE(c.holder.isEmpty() ? !f.router->Holds(kUs) : f.router->Holds(c.holder))
            << c.what;
    }
}

TEST(PortMapper, KeepsAPinholeInTheIpv6FirewallBesideTheForwarding) {
    using F = IPinholeGateway::Found;
    // What the router's IPv6 side finds, its error, an IPv4 gateway or none (bound to IPv6).
    const std::tuple<F, int, bool, PortMapReport::Pinhole, State> cases[] = {
        {F::Router, 0, true, {State::Open, kUs6, 0}, State::Open},
        {F::NothingToOpen, 0, true, {}, State::Open},
        {F::NoRouter, 0, true, {State::NoGateway, {}, 0}, State::Open},
        {F::Router, 606, true, {State::Refused, {}, 606}, State::Open},
        {F::Router, 0, false, {State::Open, kUs6, 0}, State::Off},
    };
    for (const auto& [found, error, ipv4, pinhole, forwarding] : cases) {
        const auto router = std::make_shared<Router>();
        router->ipv6 = found;
        router->pinholeError = error;
        CPortMapper mapper(
            [router, ipv4]() -> std::unique_ptr<IGateway> {
                return ipv4 ? std::make_unique<FakeGateway>(router) : nullptr;
            },
            PortMapperTiming{10, 50, 3600, 3000},
            [router] { return std::make_unique<FakePinholes>(router); });
        QSignalSpy spy(&mapper, &CPortMapper::Changed);
        mapper.Start(kPort);
        ASSERT_TRUE(spy.wait(5000));
        EXPECT_EQ(mapper.Report().state, forwarding);
        EXPECT_EQ(mapper.Report().pinhole, pinhole);
        const auto holes = [&] { return router->Locked([](Router& r) { return r.holes.size(); }); };
        EXPECT_EQ(holes(), pinhole.state == State::Open ? 1u : 0u);
        // Lost on the router: asked for again at the next check.
        router->Locked([](Router& r) { return r.holes.clear(), 0; });
        QTRY_COMPARE(holes(), pinhole.state == State::Open ? 1u : 0u);
    }
}

TEST(PortMapper, ARouterThatNeverAnswersHoldsNeitherStopNorExit) {
    Fixture f;
    f.router->hang = true;
    f.mapper->Start(kPort);
    QTRY_VERIFY(f.router->Locked([](Router& r) { return r.searching; }));
    f.mapper->Stop();
    f.mapper.reset(); // returns although the worker is stuck (else the test hangs)
    f.router->Locked([](Router& r) { r.hang = false; }); // lets the left-behind worker end
}

} // namespace
