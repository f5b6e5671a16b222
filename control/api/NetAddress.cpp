// SPDX-License-Identifier: GPL-3.0-or-later
// NetAddress: IP addresses of either family, read, written and compared one way.
#include "NetAddress.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace Tavrino {

namespace {

constexpr std::array<uint8_t, 12> kMappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The zone of a scoped address: an interface index, or a name this computer has.
std::optional<uint32_t> ParseZone(std::string_view zone) {
    if (AllDigits(zone) && zone.size() <= 9)
        return static_cast<uint32_t>(std::stoul(std::string(zone)));
    const unsigned index = ::if_nametoindex(std::string(zone).c_str());
    if (index == 0)
        return std::nullopt;
    return index;
}

IpAddress FromV6Bytes(const in6_addr& in, uint32_t scope) {
    IpAddress address;
    if (std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), in.s6_addr)) {
        std::memcpy(address.bytes.data(), in.s6_addr + 12, 4);
        return address; // an IPv4 peer seen through a dual-stack socket
    }
    address.family = IpAddress::V6;
    std::memcpy(address.bytes.data(), in.s6_addr, 16);
    address.scope = scope;
    return address;
}

bool IsHostName(std::string_view text) {
    if (!text.empty() && text.back() == '.')
        text.remove_suffix(1);
    if (text.empty() || text.size() > 253)
        return false;
    std::string_view last;
    for (size_t start = 0;;) {
        const size_t dot = text.find('.', start);
        const std::string_view label = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        for (const unsigned char c : label)
            if (!std::isalnum(c) && c != '-')
                return false;
        last = label;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return !AllDigits(last);
}

} // namespace

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
        if (text.find(':') == std::string_view::npos)
            return std::nullopt; // brackets belong to IPv6 alone
    }
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    const std::string whole(text);
    in_addr v4{};
    if (::inet_pton(AF_INET, whole.c_str(), &v4) == 1) {
        IpAddress address;
        std::memcpy(address.bytes.data(), &v4.s_addr, 4);
        return address;
    }
    uint32_t scope = 0;
    const size_t percent = whole.find('%');
    if (percent != std::string::npos) {
        const std::optional<uint32_t> zone = ParseZone(std::string_view(whole).substr(percent + 1));
        if (!zone)
            return std::nullopt;
        scope = *zone;
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, whole.substr(0, percent).c_str(), &v6) != 1)
        return std::nullopt;
    return FromV6Bytes(v6, scope);
}

std::string AddressText(const IpAddress& address) {
    const auto& b = address.bytes;
    if (address.family == IpAddress::V4)
        return std::to_string(b[0]) + '.' + std::to_string(b[1]) + '.' + std::to_string(b[2]) +
               '.' + std::to_string(b[3]);
    std::array<unsigned, 8> groups{};
    for (size_t i = 0; i < groups.size(); ++i)
        groups[i] = (unsigned(b[2 * i]) << 8) | b[2 * i + 1];
    // The first longest run of zero groups, if two or more long, becomes "::".
    size_t bestStart = groups.size(), bestLength = 1;
    for (size_t i = 0; i < groups.size();) {
        size_t j = i;
        while (j < groups.size() && groups[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    std::string text;
    char hex[8];
    for (size_t i = 0; i < groups.size(); ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        std::snprintf(hex, sizeof hex, "%x", groups[i]);
        text += hex;
    }
    if (address.scope != 0) {
        char name[IF_NAMESIZE] = {};
        text += '%';
        text += ::if_indextoname(address.scope, name) ? std::string(name)
                                                      : std::to_string(address.scope);
    }
    return text;
}

std::string CanonicalAddress(std::string_view text) {
    const std::optional<IpAddress> address = ParseIpAddress(text);
    return address ? AddressText(*address) : std::string(text);
}

bool SameAddress(std::string_view a, std::string_view b) {
    const std::optional<IpAddress> first = ParseIpAddress(a);
    const std::optional<IpAddress> second = first ? ParseIpAddress(b) : std::nullopt;
    if (first && second)
        return *first == *second;
    return a == b;
}

AddressKind ClassifyAddress(std::string_view text) {
    if (const std::optional<IpAddress> address = ParseIpAddress(text))
        return address->family == IpAddress::V4 && text.find(':') == std::string_view::npos
                   ? AddressKind::Ipv4
                   : AddressKind::Ipv6;
    return IsHostName(text) ? AddressKind::HostName : AddressKind::Invalid;
}

std::string AddressWithPort(std::string_view address, int port) {
    const std::optional<IpAddress> parsed = ParseIpAddress(address);
    const std::string text = parsed ? AddressText(*parsed) : std::string(address);
    if (parsed && parsed->family == IpAddress::V6)
        return '[' + text + "]:" + std::to_string(port);
    return text + ':' + std::to_string(port);
}

bool ToSocketAddress(const IpAddress& address, int port, bool dualStack, sockaddr_storage* out,
                     socklen_t* length) {
    if (port < 0 || port > 65535)
        return false;
    *out = sockaddr_storage{};
    if (address.family == IpAddress::V4 && !dualStack) {
        auto* in = reinterpret_cast<sockaddr_in*>(out);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<uint16_t>(port));
        std::memcpy(&in->sin_addr, address.bytes.data(), 4);
        *length = sizeof(sockaddr_in);
        return true;
    }
    auto* in6 = reinterpret_cast<sockaddr_in6*>(out);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(static_cast<uint16_t>(port));
    if (address.family == IpAddress::V4) {
        std::memcpy(in6->sin6_addr.s6_addr, kMappedPrefix.data(), kMappedPrefix.size());
        std::memcpy(in6->sin6_addr.s6_addr + 12, address.bytes.data(), 4);
    } else {
        std::memcpy(in6->sin6_addr.s6_addr, address.bytes.data(), 16);
        in6->sin6_scope_id = address.scope;
    }
    *length = sizeof(sockaddr_in6);
    return true;
}

std::optional<IpAddress> FromSocketAddress(const sockaddr* address, socklen_t length, int* port) {
    if (address == nullptr)
        return std::nullopt;
    if (address->sa_family == AF_INET && length >= socklen_t(sizeof(sockaddr_in))) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        if (port)
            *port = ntohs(in.sin_port);
        IpAddress result;
        std::memcpy(result.bytes.data(), &in.sin_addr, 4);
        return result;
    }
    if (address->sa_family == AF_INET6 && length >= socklen_t(sizeof(sockaddr_in6))) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        if (port)
            *port = ntohs(in6.sin6_port);
        return FromV6Bytes(in6.sin6_addr, in6.sin6_scope_id);
    }
    return std::nullopt;
}

} // namespace Tavrino
