// SPDX-License-Identifier: GPL-3.0-or-later
// The home router as the port mapper sees it: find it, ask it to forward a
// UDP port to this machine, check and remove that forwarding. One narrow
// interface, so the mapper's rules can be driven by a fake router, and one
// implementation over miniupnpc (UPnP IGD).
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// One forwarding as the router lists it.
struct GatewayMapping {
    QString internalClient; // the LAN address it forwards to
    quint16 internalPort = 0;
};

// UPnP error codes the mapper acts on; other codes are reported as they are.
constexpr int kUpnpNoSuchEntry = 714;
constexpr int kUpnpConflict = 718;
constexpr int kUpnpOnlyPermanentLeases = 725;

// Every call blocks until the router answers or a time-out ends it; they run
// on the mapper's worker thread only, never on the window's thread. Results
// are 0 for success, a UPnP error code, or a negative number for a request
// that got no usable answer.
class IGateway {
public:
    virtual ~IGateway() = default;

    // Looks for a router for up to timeoutMs; false when none answers (or
    // what answers is not a usable gateway). Forgets any earlier router.
    virtual bool Discover(int timeoutMs) = 0;
    // This machine's address as the found router sees it.
    virtual QString LocalAddress() const = 0;
    virtual int ExternalAddress(QString* address) = 0;
    // kUpnpNoSuchEntry when nothing is forwarded on the port.
    virtual int GetMapping(quint16 externalPort, GatewayMapping* found) = 0;
    // Forwards externalPort to client:externalPort; leaseSeconds 0 means no end.
    virtual int AddMapping(quint16 externalPort, const QString& client, int leaseSeconds) = 0;
    virtual int DeleteMapping(quint16 externalPort) = 0;
};

// UPnP error code of a pinhole that is not (or no longer) there.
constexpr int kUpnpNoSuchPinhole = 704;

// The home router's IPv6 firewall (UPnP IGD 2, WANIPv6FirewallControl): a pinhole
// lets datagrams from anywhere reach one UDP port of one IPv6 address of this
// machine, for a lease. Calls block and run on the mapper's worker thread, with the
// results of IGateway's calls.
class IPinholeGateway {
public:
    virtual ~IPinholeGateway() = default;

    enum class Found {
        NothingToOpen, // this machine takes no calls over IPv6: nothing to ask for
        NoRouter,      // no router answered that has an IPv6 firewall to open
        Router,
    };
    virtual Found Discover(int timeoutMs) = 0;
    // The IPv6 address the pinhole is asked for: this machine's, as the router sees it.
    virtual QString LocalAddress() const = 0;
    virtual int AddPinhole(quint16 port, const QString& client, int leaseSeconds, QString* id) = 0;
    virtual int UpdatePinhole(const QString& id, int leaseSeconds) = 0;
    // 0 while the pinhole stands, kUpnpNoSuchPinhole once it has gone.
    virtual int CheckPinhole(const QString& id) = 0;
    virtual int DeletePinhole(const QString& id) = 0;
};

// The router found by UPnP discovery (SSDP). multicastInterface, when not
// empty, is the local IPv4 address the search goes out from: the address the
// voice control is bound to, where the forwarding has to point.
std::unique_ptr<IGateway> NewUpnpGateway(const QByteArray& multicastInterface);
