// SPDX-License-Identifier: GPL-3.0-or-later
// The home router reached through miniupnpc.
#include "UpnpGateway.h"

#include "UpnpIgd.h"

#include <miniupnpc/upnpcommands.h>

#include <array>

namespace {

constexpr const char* kProtocol = "UDP";
constexpr const char* kDescription = "TESSORA-H";

QByteArray Number(quint16 port) {
    return QByteArray::number(port);
}

class MiniUpnpGateway final : public IGateway {
public:
    explicit MiniUpnpGateway(QByteArray multicastInterface)
        : m_multicastInterface(std::move(multicastInterface)) {}
    MiniUpnpGateway(const MiniUpnpGateway&) = delete;
    MiniUpnpGateway& operator=(const MiniUpnpGateway&) = delete;

    bool Discover(int timeoutMs) override {
        return m_igd.Discover(timeoutMs, m_multicastInterface, false, true);
    }

    QString LocalAddress() const override { return m_igd.LanAddress(); }

    int ExternalAddress(QString* address) override {
        if (!m_igd.Found())
            return -1;
        std::array<char, 64> text{}; // 16 bytes are written at most
        const int rc = UPNP_GetExternalIPAddress(m_igd.Urls().controlURL,
                                                 m_igd.Data().first.servicetype, text.data());
        if (rc == 0)
            *address = QString::fromLatin1(text.data());
        return rc;
    }

    int GetMapping(quint16 externalPort, GatewayMapping* found) override {
        if (!m_igd.Found())
            return -1;
        std::array<char, 64> client{};
        std::array<char, 16> port{};
        std::array<char, 128> description{};
        std::array<char, 8> enabled{};
        std::array<char, 32> lease{};
        const int rc = UPNP_GetSpecificPortMappingEntry(
            m_igd.Urls().controlURL, m_igd.Data().first.servicetype,
            Number(externalPort).constData(), kProtocol, nullptr, client.data(), port.data(),
            description.data(), enabled.data(), lease.data());
        if (rc == 0) {
            found->internalClient = QString::fromLatin1(client.data());
            found->internalPort = static_cast<quint16>(QByteArray(port.data()).toUInt());
        }
        return rc;
    }

    int AddMapping(quint16 externalPort, const QString& client, int leaseSeconds) override {
        if (!m_igd.Found())
            return -1;
        const QByteArray port = Number(externalPort);
        return UPNP_AddPortMapping(m_igd.Urls().controlURL, m_igd.Data().first.servicetype,
                                   port.constData(), port.constData(),
                                   client.toLatin1().constData(), kDescription, kProtocol, nullptr,
                                   QByteArray::number(leaseSeconds).constData());
    }

    int DeleteMapping(quint16 externalPort) override {
        if (!m_igd.Found())
            return -1;
        return UPNP_DeletePortMapping(m_igd.Urls().controlURL, m_igd.Data().first.servicetype,
                                      Number(externalPort).constData(), kProtocol, nullptr);
    }

private:
    QByteArray m_multicastInterface;
    UpnpIgd m_igd;
};

} // namespace

std::unique_ptr<IGateway> NewUpnpGateway(const QByteArray& multicastInterface) {
    return std::make_unique<MiniUpnpGateway>(multicastInterface);
}
