// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the host's listen port forwarded on the home router while the host is
// online, and open in its IPv6 firewall: opens it, renews and checks it, and
// removes it when the host goes offline or ends.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <thread>

class IGateway;
class IPinholeGateway;

// What became of the port on the router.
struct PortMapReport {
    enum class State {
        Off,       // nothing asked of the router
        Open,      // forwarded to this machine; address is the public one (may be empty)
        Closed,    // our forwarding has been removed
        NoGateway, // no router answered, or it stopped answering
        Refused,   // the router said no; code is its error
        Taken,     // forwarded to another machine already; address is that machine
    };
    State state = State::Off;
    quint16 port = 0;
    QString address;
    int code = 0;
    // The IPv6 firewall's pinhole for the same port, kept beside the forwarding: Off
    // (nothing to open, or not asked), Open (address: this machine's IPv6 address it
    // lets calls reach), Closed, NoGateway (no router with an IPv6 firewall to open)
    // or Refused (code).
    struct Pinhole {
        State state = State::Off;
        QString address;
        int code = 0;
        bool operator==(const Pinhole&) const = default;
    } pinhole;

    PortMapReport() = default;
    PortMapReport(State s, quint16 p, QString a = {}, int c = 0)
        : state(s), port(p), address(std::move(a)), code(c) {}
    bool operator==(const PortMapReport&) const = default;
};

struct PortMapperTiming {
    int discoverMs = 2000;   // how long to wait for routers to answer a search
    int checkMs = 60'000;    // how often a forwarding is checked (or a failed one retried)
    int leaseSeconds = 3600; // asked of the router; renewed at half
    int exitWaitMs = 3000;   // the longest the destructor waits for the removal
};

// Threads: the object lives on the window's thread and never blocks it; every
// request to the router runs on one worker thread of its own. They share only
// `Shared` (guarded by its mutex). Reports come back as the Changed signal,
// queued to the object's thread. A worker stuck on a slow router is left
// behind by the destructor after exitWaitMs; it then only talks to its own
// router object and reports to nobody.
class CPortMapper : public QObject {
    Q_OBJECT
public:
    using GatewayFactory = std::function<std::unique_ptr<IGateway>()>;
    using PinholeFactory = std::function<std::unique_ptr<IPinholeGateway>()>;

    // Without makePinholes no pinhole is asked for; a makeGateway that gives no
    // gateway asks for no forwarding.
    explicit CPortMapper(GatewayFactory makeGateway, PortMapperTiming timing = {},
                         PinholeFactory makePinholes = {}, QObject* parent = nullptr);
    ~CPortMapper() override;

    // Asks for the port to be forwarded (a different port replaces the old
    // forwarding); returns at once.
    void Start(quint16 port);
    // Asks for the forwarding to be removed; returns at once.
    void Stop();

    // The latest report delivered on this thread.
    const PortMapReport& Report() const { return m_report; }
    // The public address while a forwarding stands, else empty.
    QString PublicAddress() const;
    // The IPv6 address the pinhole lets calls reach while it stands, else empty.
    QString PinholeAddress() const;

    // What the worker thread shares with this object (defined with the worker).
    struct Shared;

signals:
    // A report that differs from the previous one.
    void Changed(const PortMapReport& report);

private:
    void Deliver(const PortMapReport& report);

    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
    PortMapReport m_report;
    int m_exitWaitMs;
};
