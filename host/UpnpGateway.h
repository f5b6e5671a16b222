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

// The router found by UPnP discovery (SSDP). multicastInterface, when not
// empty, is the local IPv4 address the search goes out from: the address the
// voice control is bound to, where the forwarding has to point.
std::unique_ptr<IGateway> NewUpnpGateway(const QByteArray& multicastInterface);
