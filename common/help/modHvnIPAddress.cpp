// SPDX-License-Identifier: GPL-3.0-or-later
// The computer's own addresses as text, for the operator to tell the other station.
#include "modHvnIPAddress.h"

#include "NetAddress.h"
#include "modHvnRegistry.h"

#include <QFile>
#include <QList>

#include <linux/if_addr.h>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

QString NoAddressWord() {
    return Tr(QStringLiteral("Unknown"), QStringLiteral("不明"));
}

// 127.0.0.0/8 is loopback as a whole; Debian maps the host name to 127.0.1.1.
bool IsLoopback(const Ipv4Address& address) {
    return address[0] == 127;
}

} // namespace

QByteArray LocalHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name) != 0)
        return {};
    // gethostname need not terminate a name that fills the buffer.
    return QByteArray(name, static_cast<qsizetype>(strnlen(name, sizeof name)));
}

std::vector<Ipv4Address> ResolveIpv4(const QByteArray& hostName) {
    std::vector<Ipv4Address> addresses;
    if (hostName.isEmpty())
        return addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    // One entry per address rather than one per socket type.
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(hostName.constData(), nullptr, &hints, &found) != 0 || found == nullptr)
        return addresses;
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr ||
            entry->ai_addrlen < sizeof(sockaddr_in))
            continue;
        sockaddr_in in{};
        std::memcpy(&in, entry->ai_addr, sizeof in);
        Ipv4Address address{};
        // s_addr is in network order: its bytes are already a.b.c.d.
        std::memcpy(address.data(), &in.sin_addr.s_addr, address.size());
        addresses.push_back(address);
    }
    return addresses;
}

QString FormatIpv4(const Ipv4Address& address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address[0])
        .arg(address[1])
        .arg(address[2])
        .arg(address[3]);
}

QString GetLocalIPAddress(const QByteArray& hostName, const Ipv4Resolver& resolve) {
    if (!resolve)
        return NoAddressWord();
    const std::vector<Ipv4Address> addresses = resolve(hostName);
    // Only the first address counts, even on a computer with several adapters.
    if (addresses.empty() || IsLoopback(addresses.front()))
        return NoAddressWord();
    return FormatIpv4(addresses.front());
}

QString GetLocalIPAddress() {
    return GetLocalIPAddress(LocalHostName(), &ResolveIpv4);
}

std::vector<Ipv6Entry> ListIpv6Addresses() {
    std::vector<Ipv6Entry> entries;
    QFile file(QStringLiteral("/proc/net/if_inet6"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    // "20010db8000000000000000000000005 02 40 00 80 eth0": address, interface index,
    // prefix length, scope and flags in hex, interface name.
    // Read whole: a /proc file has no size, so QFile::atEnd holds from the start.
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || fields[0].size() != 32)
            continue;
        const QByteArray bytes = QByteArray::fromHex(fields[0]);
        bool scopeOk = false, flagsOk = false;
        Ipv6Entry entry;
        entry.scope = fields[3].toInt(&scopeOk, 16);
        entry.flags = fields[4].toUInt(&flagsOk, 16);
        if (bytes.size() != 16 || !scopeOk || !flagsOk)
            continue;
        std::memcpy(entry.bytes.data(), bytes.constData(), entry.bytes.size());
        entries.push_back(entry);
    }
    return entries;
}

QString GetGlobalIPv6Address(const Ipv6Lister& list) {
    if (!list)
        return {};
    const std::vector<Ipv6Entry> entries = list();
    const Ipv6Entry* chosen = nullptr;
    for (const Ipv6Entry& entry : entries) {
        const bool global = entry.scope == 0 && (entry.bytes[0] & 0xe0) == 0x20;
        if (!global || (entry.flags & (IFA_F_DEPRECATED | IFA_F_TENTATIVE | IFA_F_DADFAILED)))
            continue;
        if (!(entry.flags & IFA_F_TEMPORARY)) {
            chosen = &entry;
            break;
        }
        if (chosen == nullptr)
            chosen = &entry;
    }
    if (chosen == nullptr)
        return {};
    Tavrino::IpAddress address;
    address.family = Tavrino::IpAddress::V6;
    address.bytes = chosen->bytes;
    return QString::fromStdString(Tavrino::AddressText(address));
}

QString GetGlobalIPv6Address() {
    return GetGlobalIPv6Address(&ListIpv6Addresses);
}
