// The home router reached through miniupnpc.
#include "UpnpGateway.h"

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

#include <array>

namespace {

constexpr const char* kProtocol = "UDP";
constexpr const char* kDescription = "TESSORA-H";
constexpr unsigned char kMulticastTtl = 2;

QByteArray Number(quint16 port) {
    return QByteArray::number(port);
}

class MiniUpnpGateway final : public IGateway {
public:
    explicit MiniUpnpGateway(QByteArray multicastInterface)
        : m_multicastInterface(std::move(multicastInterface)) {}
    ~MiniUpnpGateway() override { Forget(); }
    MiniUpnpGateway(const MiniUpnpGateway&) = delete;
    MiniUpnpGateway& operator=(const MiniUpnpGateway&) = delete;

    bool Discover(int timeoutMs) override {
        Forget();
        int error = 0;
        UPNPDev* devices = upnpDiscover(
            timeoutMs, m_multicastInterface.isEmpty() ? nullptr : m_multicastInterface.constData(),
            nullptr, UPNP_LOCAL_PORT_ANY, 0, kMulticastTtl, &error);
        if (devices == nullptr)
            return false;
        std::array<char, 64> lan{};
#if MINIUPNPC_API_VERSION >= 18
        std::array<char, 64> wan{};
        const int found =
            UPNP_GetValidIGD(devices, &m_urls, &m_data, lan.data(), static_cast<int>(lan.size()),
                             wan.data(), static_cast<int>(wan.size()));
        // 1 connected, 2 connected behind another NAT, 3 not connected.
        const bool usable = found >= 1 && found <= 3;
#else
        const int found =
            UPNP_GetValidIGD(devices, &m_urls, &m_data, lan.data(), static_cast<int>(lan.size()));
        // 1 connected, 2 an IGD that says it is not connected (yet).
        const bool usable = found == 1 || found == 2;
#endif
        freeUPNPDevlist(devices);
        if (found != 0)
            m_haveUrls = true;
        if (!usable || m_urls.controlURL == nullptr) {
            Forget();
            return false;
        }
        m_lanAddress = QString::fromLatin1(lan.data());
        return true;
    }

    QString LocalAddress() const override {
        return m_lanAddress;
    }

    int ExternalAddress(QString* address) override {
        if (!m_haveUrls)
            return -1;
        std::array<char, 64> text{}; // 16 bytes are written at most
        const int rc =
            UPNP_GetExternalIPAddress(m_urls.controlURL, m_data.first.servicetype, text.data());
        if (rc == 0)
            *address = QString::fromLatin1(text.data());
        return rc;
    }

    int GetMapping(quint16 externalPort, GatewayMapping* found) override {
        if (!m_haveUrls)
            return -1;
        std::array<char, 64> client{};
        std::array<char, 16> port{};
        std::array<char, 128> description{};
        std::array<char, 8> enabled{};
        std::array<char, 32> lease{};
        const int rc = UPNP_GetSpecificPortMappingEntry(
            m_urls.controlURL, m_data.first.servicetype, Number(externalPort).constData(),
            kProtocol, nullptr, client.data(), port.data(), description.data(), enabled.data(),
            lease.data());
        if (rc == 0) {
            found->internalClient = QString::fromLatin1(client.data());
            found->internalPort = static_cast<quint16>(QByteArray(port.data()).toUInt());
        }
        return rc;
    }

    int AddMapping(quint16 externalPort, const QString& client, int leaseSeconds) override {
        if (!m_haveUrls)
            return -1;
        const QByteArray port = Number(externalPort);
        return UPNP_AddPortMapping(m_urls.controlURL, m_data.first.servicetype, port.constData(),
                                   port.constData(), client.toLatin1().constData(), kDescription,
                                   kProtocol, nullptr,
                                   QByteArray::number(leaseSeconds).constData());
    }

    int DeleteMapping(quint16 externalPort) override {
        if (!m_haveUrls)
            return -1;
        return UPNP_DeletePortMapping(m_urls.controlURL, m_data.first.servicetype,
                                      Number(externalPort).constData(), kProtocol, nullptr);
    }

private:
    void Forget() {
        if (m_haveUrls)
            FreeUPNPUrls(&m_urls);
        m_urls = UPNPUrls{};
        m_data = IGDdatas{};
        m_haveUrls = false;
        m_lanAddress.clear();
    }

    QByteArray m_multicastInterface;
    UPNPUrls m_urls{};
    IGDdatas m_data{};
    bool m_haveUrls = false;
    QString m_lanAddress;
};

} // namespace

std::unique_ptr<IGateway> NewUpnpGateway(const QByteArray& multicastInterface) {
    return std::make_unique<MiniUpnpGateway>(multicastInterface);
}
