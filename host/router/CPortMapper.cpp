// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the host's listen port forwarded on the home router while the host is online.
#include "CPortMapper.h"

#include "UpnpGateway.h"

#include <QHostAddress>

#include <chrono>
#include <condition_variable>
#include <mutex>

using Clock = std::chrono::steady_clock;
using State = PortMapReport::State;

struct CPortMapper::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    quint16 wanted = 0;    // the port to keep forwarded, 0 for none
    unsigned requests = 0; // counts Start and Stop calls
    bool quit = false;     // set once, by the destructor
    bool ended = false;    // the worker has left its loop
    std::condition_variable endedSignal;
    // Hands a report to the owner; cleared by the owner's destructor, under
    // the mutex, so it is never called on a destroyed owner.
    std::function<void(const PortMapReport&)> sink;
};

namespace {

// The worker's side: one router, what stands on it, and the rules.
class Worker {
public:
    Worker(std::unique_ptr<IGateway> gateway, std::unique_ptr<IPinholeGateway> pinholes,
           const PortMapperTiming& timing)
        : m_gateway(std::move(gateway)), m_pinholes(std::move(pinholes)), m_timing(timing) {}

    // Serves `wanted` until quit; then removes what it made.
    void Run(const std::shared_ptr<CPortMapper::Shared>& shared);

private:
    PortMapReport Open(quint16 port);
    PortMapReport Check(quint16 port);
    PortMapReport Close();
    bool StandsForUs(quint16 port, int* answer = nullptr);
    PortMapReport::Pinhole OpenPinhole(quint16 port);
    PortMapReport::Pinhole CheckPinhole(quint16 port);
    // Whether a forwarding or pinhole stands on another port than `port` (any, for 0).
    bool HoldsOtherThan(quint16 port) const {
        return (m_mapped != 0 && m_mapped != port) || (m_holePort != 0 && m_holePort != port);
    }

    std::unique_ptr<IGateway> m_gateway;         // null: no forwarding is asked for
    std::unique_ptr<IPinholeGateway> m_pinholes; // null: no pinhole is asked for
    quint16 m_holePort = 0;                      // the pinhole's port while it stands
    QString m_holeId;
    QString m_holeClient;
    Clock::time_point m_holeRenewAt{};
    PortMapperTiming m_timing;
    quint16 m_mapped = 0; // the port we forwarded and believe in
    QString m_client;     // where it points
    QString m_public;
    int m_lease = 0;
    Clock::time_point m_renewAt{};
};

} // namespace

void Worker::Run(const std::shared_ptr<CPortMapper::Shared>& shared) {
    unsigned served = 0; // the request the latest attempt answered
    quint16 port = 0;
    auto nextCheck = Clock::time_point::max();
    std::unique_lock lock(shared->mutex);
    while (!shared->quit) {
        const auto due = [&] { return shared->quit || shared->requests != served; };
        if (nextCheck == Clock::time_point::max())
            shared->wake.wait(lock, due);
        else
            shared->wake.wait_until(lock, nextCheck, due);
        if (shared->quit)
            break;
        served = shared->requests;
        port = shared->wanted;
        lock.unlock();

        PortMapReport report;
        if (HoldsOtherThan(port))
            report = Close();
        // Also a repeated request checks afresh, so that it gets its answer.
        if (port != 0) {
            report = Check(port);
            report.pinhole = CheckPinhole(port);
        }
        nextCheck = port != 0 ? Clock::now() + std::chrono::milliseconds(m_timing.checkMs)
                              : Clock::time_point::max();

        lock.lock();
        if (shared->sink && (report.state != State::Off || report.pinhole.state != State::Off))
            shared->sink(report);
    }
    lock.unlock();
    if (HoldsOtherThan(0))
        Close();
    lock.lock();
    shared->ended = true;
    shared->endedSignal.notify_all();
}

PortMapReport Worker::Open(quint16 port) {
    PortMapReport report{State::NoGateway, port, {}, 0};
    if (!m_gateway->Discover(m_timing.discoverMs))
        return report;
    m_client = m_gateway->LocalAddress();

    // Another machine's forwarding is reported, never replaced.
    GatewayMapping existing;
    if (m_gateway->GetMapping(port, &existing) == 0 &&
        (existing.internalClient != m_client || existing.internalPort != port))
        return {State::Taken, port, existing.internalClient, kUpnpConflict};

    m_lease = m_timing.leaseSeconds;
    int rc = m_gateway->AddMapping(port, m_client, m_lease);
    if (rc == kUpnpOnlyPermanentLeases) {
        m_lease = 0;
        rc = m_gateway->AddMapping(port, m_client, m_lease);
    }
    if (rc == kUpnpConflict)
        return {State::Taken, port, existing.internalClient, rc};
    if (rc != 0)
        return {State::Refused, port, {}, rc};
    // A router may say yes and forward nothing: believe only what it lists.
    if (!StandsForUs(port, &rc))
        return {State::Refused, port, {}, rc};

    m_mapped = port;
    m_renewAt = Clock::now() + std::chrono::seconds(m_lease / 2);
    QString address;
    m_public.clear();
    if (m_gateway->ExternalAddress(&address) == 0) {
        const QHostAddress parsed(address);
        if (parsed.protocol() == QAbstractSocket::IPv4Protocol && !parsed.isNull())
            m_public = parsed.toString();
    }
    return {State::Open, port, m_public, 0};
}

PortMapReport Worker::Check(quint16 port) {
    if (!m_gateway)
        return {}; // nothing to forward: Off
    // Not forwarded (the last attempt failed), gone (router restarted, lease
    // lost, someone removed it), or not renewed: ask again.
    if (m_mapped == 0 || !StandsForUs(port)) {
        m_mapped = 0;
        return Open(port);
    }
    if (m_lease != 0 && Clock::now() >= m_renewAt) {
        if (m_gateway->AddMapping(port, m_client, m_lease) != 0) {
            m_mapped = 0;
            return Open(port);
        }
        m_renewAt = Clock::now() + std::chrono::seconds(m_lease / 2);
    }
    return {State::Open, port, m_public, 0};
}

PortMapReport Worker::Close() {
    PortMapReport report(State::Off, m_mapped != 0 ? m_mapped : m_holePort);
    if (m_mapped != 0) {
        const quint16 port = m_mapped;
        m_mapped = 0;
        // Only our own forwarding is removed; one that has meanwhile gone to
        // another machine stays.
        if (StandsForUs(port))
            m_gateway->DeleteMapping(port);
        report.state = State::Closed;
    }
    if (m_holePort != 0) {
        m_holePort = 0;
        m_pinholes->DeletePinhole(m_holeId); // a pinhole is ours alone, by its id
        report.pinhole.state = State::Closed;
    }
    return report;
}

PortMapReport::Pinhole Worker::OpenPinhole(quint16 port) {
    using Found = IPinholeGateway::Found;
    switch (m_pinholes->Discover(m_timing.discoverMs)) {
    case Found::NothingToOpen:
        return {};
    case Found::NoRouter:
        return {State::NoGateway, {}, 0};
    case Found::Router:
        break;
    }
    m_holeClient = m_pinholes->LocalAddress();
    const int rc = m_pinholes->AddPinhole(port, m_holeClient, m_timing.leaseSeconds, &m_holeId);
    if (rc != 0)
        return {State::Refused, {}, rc};
    m_holePort = port;
    m_holeRenewAt = Clock::now() + std::chrono::seconds(m_timing.leaseSeconds / 2);
    return {State::Open, m_holeClient, 0};
}

PortMapReport::Pinhole Worker::CheckPinhole(quint16 port) {
    if (!m_pinholes)
        return {};
    // As the forwarding: a pinhole that is not there, or is not renewed, is asked for again.
    if (m_holePort == 0 || m_pinholes->CheckPinhole(m_holeId) != 0) {
        m_holePort = 0;
        return OpenPinhole(port);
    }
    if (Clock::now() >= m_holeRenewAt) {
        if (m_pinholes->UpdatePinhole(m_holeId, m_timing.leaseSeconds) != 0) {
            m_holePort = 0;
            return OpenPinhole(port);
        }
        m_holeRenewAt = Clock::now() + std::chrono::seconds(m_timing.leaseSeconds / 2);
    }
    return {State::Open, m_holeClient, 0};
}

// `answer` gets the router's answer to the question, or kUpnpNoSuchEntry when
// what it lists is not ours.
bool Worker::StandsForUs(quint16 port, int* answer) {
    GatewayMapping found;
    int rc = m_gateway->GetMapping(port, &found);
    if (rc == 0 && (found.internalClient != m_client || found.internalPort != port))
        rc = kUpnpNoSuchEntry;
    if (answer)
        *answer = rc;
    return rc == 0;
}

CPortMapper::CPortMapper(GatewayFactory makeGateway, PortMapperTiming timing,
                         PinholeFactory makePinholes, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_exitWaitMs(timing.exitWaitMs) {
    m_shared->sink = [this](const PortMapReport& report) {
        QMetaObject::invokeMethod(
            this, [this, report] { Deliver(report); }, Qt::QueuedConnection);
    };
    auto worker =
        std::make_shared<Worker>(makeGateway(), makePinholes ? makePinholes() : nullptr, timing);
    m_worker = std::thread([shared = m_shared, worker] { worker->Run(shared); });
}

CPortMapper::~CPortMapper() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->sink = nullptr;
    m_shared->quit = true;
    m_shared->wake.notify_all();
    const bool ended = m_shared->endedSignal.wait_for(lock, std::chrono::milliseconds(m_exitWaitMs),
                                                      [this] { return m_shared->ended; });
    lock.unlock();
    // Exit must not hang on a router that does not answer.
    if (ended)
        m_worker.join();
    else
        m_worker.detach();
}

void CPortMapper::Start(quint16 port) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->wanted = port;
    ++m_shared->requests;
    m_shared->wake.notify_all();
}

void CPortMapper::Stop() {
    Start(0);
    // A forwarding or pinhole that stands reports its removal; a failed one has
    // nothing to undo.
    if (m_report.state != State::Open && m_report.pinhole.state != State::Open)
        Deliver({});
}

QString CPortMapper::PublicAddress() const {
    return m_report.state == State::Open ? m_report.address : QString();
}

QString CPortMapper::PinholeAddress() const {
    return m_report.pinhole.state == State::Open ? m_report.pinhole.address : QString();
}

void CPortMapper::Deliver(const PortMapReport& report) {
    if (report == m_report)
        return;
    m_report = report;
    emit Changed(report);
}
