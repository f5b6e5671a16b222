// SPDX-License-Identifier: GPL-3.0-or-later
// The computer's own addresses as text, for the operator to tell the other station.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <vector>

using Ipv4Address = std::array<quint8, 4>;

// Resolves a host name to its IPv4 addresses in the resolver's order; empty
// when the name does not resolve.
using Ipv4Resolver = std::function<std::vector<Ipv4Address>(const QByteArray& hostName)>;

// The first IPv4 address of the local host in dotted decimal, or "Unknown" /
// "不明" when the host name does not resolve or resolves to a loopback
// address (any 127.x.x.x: Debian maps the host name to 127.0.1.1).
// Looked up afresh on every call.
QString GetLocalIPAddress();

// The same rule with the host name and the resolver given, so it can be
// checked without the machine's own resolver.
QString GetLocalIPAddress(const QByteArray& hostName, const Ipv4Resolver& resolve);

// The local host name, as gethostname gives it in a buffer of 256 bytes, cut
// at the first NUL; empty when it cannot be read.
QByteArray LocalHostName();

// The system resolver: getaddrinfo, IPv4 only.
std::vector<Ipv4Address> ResolveIpv4(const QByteArray& hostName);

// "a.b.c.d", each byte unsigned decimal without leading zeros.
QString FormatIpv4(const Ipv4Address& address);

// One IPv6 address of this computer as the kernel lists it (/proc/net/if_inet6).
struct Ipv6Entry {
    std::array<quint8, 16> bytes{};
    int scope = 0;      // 0 for global scope
    unsigned flags = 0; // IFA_F_*
};
using Ipv6Lister = std::function<std::vector<Ipv6Entry>()>;

// The computer's global IPv6 address for callers: the first global unicast one
// (2000::/3) that is neither a temporary privacy address (they change by the day),
// deprecated, tentative nor a failed duplicate; failing that, the first temporary
// one. Empty when it has none. Looked up afresh on every call.
QString GetGlobalIPv6Address();
QString GetGlobalIPv6Address(const Ipv6Lister& list);

// The kernel's list; empty where IPv6 is off.
std::vector<Ipv6Entry> ListIpv6Addresses();
