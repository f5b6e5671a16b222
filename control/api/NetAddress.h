// SPDX-License-Identifier: GPL-3.0-or-later
// NetAddress: IP addresses of either family as the control and the stations read,
// write and compare them. Addresses travel as text everywhere (methods, events,
// files), and an IPv6 address has many spellings, so every comparison of two
// addresses goes through SameAddress, never through the strings.
//
// Threads: functions without state, safe on any thread (the capture thread's sends
// use them too).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <sys/socket.h>

namespace Tavrino {

struct IpAddress {
    enum Family : uint8_t { V4 = 4, V6 = 6 };
    // An IPv4-mapped IPv6 address (::ffff:a.b.c.d, what a dual-stack socket
    // reports for an IPv4 peer) is kept as the IPv4 address itself, so both
    // kinds of socket show an IPv4 peer the same way.
    Family family = V4;
    std::array<uint8_t, 16> bytes{}; // network order; IPv4 uses the first 4
    uint32_t scope = 0;              // interface index of a scoped IPv6 address, else 0

    bool operator==(const IpAddress&) const = default;
};

// A literal address: dotted IPv4 (four decimal numbers) or IPv6 in any of its
// spellings, with or without [brackets], with a %zone (interface name or index)
// for a link-local one. Names are never resolved here.
std::optional<IpAddress> ParseIpAddress(std::string_view text);

// The one text of an address: dotted IPv4, IPv6 in its shortest form (RFC 5952:
// lower case, no leading zeros, the longest run of two or more zero groups as
// "::"), then "%zone" for a scoped address.
std::string AddressText(const IpAddress& address);

// The text of a literal address in that one form; anything else (a name, nothing)
// comes back as it was.
std::string CanonicalAddress(std::string_view text);

// Two literals are the same when their addresses are; any other text (names)
// only when the texts are equal.
bool SameAddress(std::string_view a, std::string_view b);

// What an address field holds. A host name is letters, digits and hyphens in
// dot-separated labels of at most 63 characters (253 in all, one final dot
// allowed), its last label not all digits: "192.168.1.300" is a mistyped
// address, not a name.
enum class AddressKind { Invalid, Ipv4, Ipv6, HostName };
AddressKind ClassifyAddress(std::string_view text);

// "a.b.c.d:port", "[v6]:port": an address with its port, for log lines.
std::string AddressWithPort(std::string_view address, int port);

// Socket addresses. `dualStack` writes an IPv4 address as IPv4-mapped IPv6, for
// an AF_INET6 socket that serves both families.
bool ToSocketAddress(const IpAddress& address, int port, bool dualStack, sockaddr_storage* out,
                     socklen_t* length);
std::optional<IpAddress> FromSocketAddress(const sockaddr* address, socklen_t length,
                                           int* port = nullptr);

} // namespace Tavrino
