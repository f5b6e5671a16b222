// SPDX-License-Identifier: GPL-3.0-or-later
// UpnpPinholeGateway: the home router's IPv6 firewall reached through miniupnpc.
#include "UpnpPinholeGateway.h"

#include "NetAddress.h"
#include "UpnpIgd.h"
#include "modHvnIPAddress.h"

#include <miniupnpc/upnpcommands.h>

#include <ifaddrs.h>
#include <netinet/in.h>

#include <array>

namespace {

constexpr const char* kUdpProtocolNumber = "17"; // pinholes name protocols by number

// The interface that holds `address`; empty when none does.
QByteArray InterfaceOf(const Tavrino::IpAddress& address) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    QByteArray name;
    for (const ifaddrs* entry = list; entry != nullptr && name.isEmpty(); entry = entry->ifa_next) {
        const auto found = entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET6
                               ? Tavrino::FromSocketAddress(entry->ifa_addr, sizeof(sockaddr_in6))
                               : std::nullopt;
        if (found && found->bytes == address.bytes)
            name = entry->ifa_name;
    }
    ::freeifaddrs(list);
    return name;
}

class MiniUpnpPinholeGateway final : public IPinholeGateway {
public:
    explicit MiniUpnpPinholeGateway(const QByteArray& bindAddress) {
        const auto parsed = Tavrino::ParseIpAddress(bindAddress.toStdString());
        m_ipv4Only = parsed && parsed->family == Tavrino::IpAddress::V4;
        if (parsed && !m_ipv4Only) {
            m_client = QString::fromStdString(Tavrino::AddressText(*parsed));
            m_interface = InterfaceOf(*parsed);
        }
    }

    Found Discover(int timeoutMs) override {
        m_igd.Forget();
        // Without a global address no caller could use a pinhole.
        if (m_ipv4Only || GetGlobalIPv6Address().isEmpty())
            return Found::NothingToOpen;
        if (!m_igd.Discover(timeoutMs, m_interface, true, false) ||
            m_igd.Urls().controlURL_6FC == nullptr || m_igd.Data().IPv6FC.servicetype[0] == '\0')
            return Found::NoRouter;
        return Found::Router;
    }

    QString LocalAddress() const override {
        return m_client.isEmpty() ? QString::fromStdString(
                                        Tavrino::CanonicalAddress(m_igd.LanAddress().toStdString()))
                                  : m_client;
    }

    int AddPinhole(quint16 port, const QString& client, int leaseSeconds, QString* id) override {
        if (!m_igd.Found())
            return -1;
        std::array<char, 16> unique{};
        // Any remote address and port: a remote calls from wherever it is.
        const int rc =
            UPNP_AddPinhole(ControlUrl(), ServiceType(), "", "0", client.toLatin1().constData(),
                            QByteArray::number(port).constData(), kUdpProtocolNumber,
                            QByteArray::number(leaseSeconds).constData(), unique.data());
        if (rc == 0)
            *id = QString::fromLatin1(unique.data());
        return rc;
    }

    int UpdatePinhole(const QString& id, int leaseSeconds) override {
        if (!m_igd.Found())
            return -1;
        return UPNP_UpdatePinhole(ControlUrl(), ServiceType(), id.toLatin1().constData(),
                                  QByteArray::number(leaseSeconds).constData());
    }

    int CheckPinhole(const QString& id) override {
        if (!m_igd.Found())
            return -1;
        int packets = 0; // asked only for whether the router still knows the pinhole
        return UPNP_GetPinholePackets(ControlUrl(), ServiceType(), id.toLatin1().constData(),
                                      &packets);
    }

    int DeletePinhole(const QString& id) override {
        if (!m_igd.Found())
            return -1;
        return UPNP_DeletePinhole(ControlUrl(), ServiceType(), id.toLatin1().constData());
    }

private:
    const char* ControlUrl() const { return m_igd.Urls().controlURL_6FC; }
    const char* ServiceType() const { return m_igd.Data().IPv6FC.servicetype; }

    bool m_ipv4Only = false;
    QString m_client;       // the bound IPv6 address, else empty
    QByteArray m_interface; // where that address is: the search goes out there
    UpnpIgd m_igd;
};

} // namespace

std::unique_ptr<IPinholeGateway> NewUpnpPinholeGateway(const QByteArray& bindAddress) {
    return std::make_unique<MiniUpnpPinholeGateway>(bindAddress);
}
