// SPDX-License-Identifier: GPL-3.0-or-later
// UpnpIgd: one Internet Gateway Device found by UPnP discovery, as miniupnpc describes it.
#include "UpnpIgd.h"

#include <array>

namespace {
constexpr unsigned char kMulticastTtl = 2;
constexpr const char* kIpv6FirewallService =
    "urn:schemas-upnp-org:service:WANIPv6FirewallControl:1";
} // namespace

bool UpnpIgd::Discover(int timeoutMs, const QByteArray& multicastInterface, bool ipv6,
                       bool connected) {
    Forget();
    int error = 0;
    const char* interface = multicastInterface.isEmpty() ? nullptr : multicastInterface.constData();
    // Over IPv6 only the firewall service is of use, and one search type waits once:
    // upnpDiscover waits timeoutMs for each of its four types when nobody answers.
    UPNPDev* devices = ipv6
                           ? upnpDiscoverDevice(kIpv6FirewallService, timeoutMs, interface, nullptr,
                                                UPNP_LOCAL_PORT_ANY, 1, kMulticastTtl, &error)
                           : upnpDiscover(timeoutMs, interface, nullptr, UPNP_LOCAL_PORT_ANY, 0,
                                          kMulticastTtl, &error);
    if (devices == nullptr)
        return false;
    std::array<char, 64> lan{};
#if MINIUPNPC_API_VERSION >= 18
    std::array<char, 64> wan{};
    const int found =
        UPNP_GetValidIGD(devices, &m_urls, &m_data, lan.data(), static_cast<int>(lan.size()),
                         wan.data(), static_cast<int>(wan.size()));
    // 1 connected, 2 connected behind another NAT, 3 not connected.
    const bool usable = connected ? found >= 1 && found <= 3 : found >= 1;
#else
    const int found =
        UPNP_GetValidIGD(devices, &m_urls, &m_data, lan.data(), static_cast<int>(lan.size()));
    // 1 connected, 2 an IGD that says it is not connected (yet).
    const bool usable = connected ? found == 1 || found == 2 : found >= 1;
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

void UpnpIgd::Forget() {
    if (m_haveUrls)
        FreeUPNPUrls(&m_urls);
    m_urls = UPNPUrls{};
    m_data = IGDdatas{};
    m_haveUrls = false;
    m_lanAddress.clear();
}
