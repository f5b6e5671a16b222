// SPDX-License-Identifier: GPL-3.0-or-later
// The home router reached through NAT-PMP (libnatpmp), for routers without UPnP.
#include "NatPmpGateway.h"

#include <QHostAddress>
#include <QMap>

#include <arpa/inet.h>
#include <natpmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRequestMs = 3000;
// NAT-PMP has no lease without end (a lifetime of 0 removes): a week, renewed like any other.
constexpr int kLongestLeaseSeconds = 7 * 24 * 3600;

// This machine's address on the way to the gateway.
QString LocalAddressTowards(in_addr_t gateway) {
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return {};
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(NATPMP_PORT);
    to.sin_addr.s_addr = gateway;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    QString address;
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        address = QHostAddress(ntohl(local.sin_addr.s_addr)).toString();
    close(s);
    return address;
}

class NatPmpGateway final : public IGateway {
public:
    bool Discover(int timeoutMs) override {
        m_found = false;
        m_mapped.clear();
        natpmpresp_t answer{};
        if (Ask(timeoutMs, sendpublicaddressrequest, &answer) != 0 ||
            answer.type != NATPMP_RESPTYPE_PUBLICADDRESS)
            return false;
        m_public = QHostAddress(ntohl(answer.pnu.publicaddress.addr.s_addr)).toString();
        m_local = LocalAddressTowards(m_gateway);
        m_found = !m_local.isEmpty();
        return m_found;
    }

    QString LocalAddress() const override { return m_local; }

    int ExternalAddress(QString* address) override {
        if (!m_found)
            return -1;
        *address = m_public;
        return 0;
    }

    int GetMapping(quint16 port, GatewayMapping* found) override {
        // NAT-PMP cannot list forwardings; asking again for ours (which
        // renews it) tells whether it still stands for us.
        if (!m_found || !m_mapped.contains(port))
            return kUpnpNoSuchEntry;
        const int rc = Map(port, m_mapped.value(port));
        if (rc == 0)
            *found = {m_local, port};
        return rc;
    }

    int AddMapping(quint16 port, const QString&, int leaseSeconds) override {
        if (!m_found)
            return -1;
        const int lease = leaseSeconds > 0 ? leaseSeconds : kLongestLeaseSeconds;
        const int rc = Map(port, lease);
        if (rc == 0)
            m_mapped.insert(port, lease);
        return rc;
    }

    int DeleteMapping(quint16 port) override {
        m_mapped.remove(port);
        return m_found ? Unmap(port) : -1;
    }

private:
    // Sends one request and waits for its answer, libnatpmp resending as it
    // will, for timeoutMs at most.
    int Ask(int timeoutMs, const std::function<int(natpmp_t*)>& send, natpmpresp_t* answer) {
        natpmp_t n{};
        if (initnatpmp(&n, 0, 0) != 0)
            return -1;
        m_gateway = n.gateway;
        int rc = send(&n);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (rc >= 0) {
            timeval retry{};
            getnatpmprequesttimeout(&n, &retry);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                rc = -1;
                break;
            }
            const long retryMs = retry.tv_sec * 1000L + retry.tv_usec / 1000 + 1;
            pollfd fd{n.s, POLLIN, 0};
            poll(&fd, 1, static_cast<int>(std::min<long>(retryMs, left.count())));
            rc = readnatpmpresponseorretry(&n, answer);
            if (rc != NATPMP_TRYAGAIN)
                break;
            rc = 0;
        }
        closenatpmp(&n);
        return rc;
    }

    int Map(quint16 port, int lease) {
        natpmpresp_t answer{};
        const int rc = Ask(
            kRequestMs,
            [&](natpmp_t* n) {
                return sendnewportmappingrequest(n, NATPMP_PROTOCOL_UDP, port, port,
                                                 static_cast<uint32_t>(lease));
            },
            &answer);
        if (rc != 0)
            return rc;
        if (answer.pnu.newportmapping.mappedpublicport != port) {
            // The router chose another public port: ours belongs to someone
            // else. Give back what we got.
            Unmap(port);
            m_mapped.remove(port);
            return kUpnpConflict;
        }
        return 0;
    }

    int Unmap(quint16 port) {
        natpmpresp_t answer{};
        return Ask(
            kRequestMs,
            [&](natpmp_t* n) {
                return sendnewportmappingrequest(n, NATPMP_PROTOCOL_UDP, port, 0, 0);
            },
            &answer);
    }

    bool m_found = false;
    in_addr_t m_gateway = 0;
    QString m_local;
    QString m_public;
    QMap<quint16, int> m_mapped; // our forwardings and their leases
};

} // namespace

std::unique_ptr<IGateway> NewNatPmpGateway() {
    return std::make_unique<NatPmpGateway>();
}

namespace {

class FirstFoundGateway final : public IGateway {
public:
    explicit FirstFoundGateway(std::vector<std::unique_ptr<IGateway>> ways)
        : m_ways(std::move(ways)) {}

    bool Discover(int timeoutMs) override {
        m_found = nullptr;
        for (const auto& way : m_ways) {
            if (way->Discover(timeoutMs)) {
                m_found = way.get();
                return true;
            }
        }
        return false;
    }
    QString LocalAddress() const override { return m_found ? m_found->LocalAddress() : QString(); }
    int ExternalAddress(QString* address) override {
        return m_found ? m_found->ExternalAddress(address) : -1;
    }
    int GetMapping(quint16 port, GatewayMapping* found) override {
        return m_found ? m_found->GetMapping(port, found) : -1;
    }
    int AddMapping(quint16 port, const QString& client, int leaseSeconds) override {
        return m_found ? m_found->AddMapping(port, client, leaseSeconds) : -1;
    }
    int DeleteMapping(quint16 port) override { return m_found ? m_found->DeleteMapping(port) : -1; }

private:
    std::vector<std::unique_ptr<IGateway>> m_ways;
    IGateway* m_found = nullptr;
};

} // namespace

std::unique_ptr<IGateway> NewFirstFoundGateway(std::vector<std::unique_ptr<IGateway>> ways) {
    return std::make_unique<FirstFoundGateway>(std::move(ways));
}
