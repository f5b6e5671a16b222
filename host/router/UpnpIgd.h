// SPDX-License-Identifier: GPL-3.0-or-later
// UpnpIgd: one Internet Gateway Device found by UPnP discovery, as miniupnpc describes it.
#pragma once

#include <miniupnpc/miniupnpc.h>

#include <QByteArray>
#include <QString>

// Owns miniupnpc's description of the router (its control URLs and services) and
// frees it. Shared by the port forwarding (IPv4, WANIPConnection) and the IPv6
// firewall pinholes (WANIPv6FirewallControl), which search for the router each over
// its own family.
//
// Threads: used by the port mapper's worker thread only.
class UpnpIgd {
public:
    UpnpIgd() = default;
    ~UpnpIgd() { Forget(); }
    UpnpIgd(const UpnpIgd&) = delete;
    UpnpIgd& operator=(const UpnpIgd&) = delete;

    // Searches for up to timeoutMs, by SSDP over IPv4 (from `multicastInterface`, a
    // local IPv4 address, when not empty) or over IPv6. True when a router answered
    // with a usable description; `connected` also asks that it says it is connected
    // to the Internet (or may be soon), which the port forwarding needs.
    bool Discover(int timeoutMs, const QByteArray& multicastInterface, bool ipv6, bool connected);
    void Forget();

    bool Found() const { return m_haveUrls; }
    const UPNPUrls& Urls() const { return m_urls; }
    const IGDdatas& Data() const { return m_data; }
    // This machine's address as the router sees it.
    const QString& LanAddress() const { return m_lanAddress; }

private:
    UPNPUrls m_urls{};
    IGDdatas m_data{};
    bool m_haveUrls = false;
    QString m_lanAddress;
};
