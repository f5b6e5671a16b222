// SPDX-License-Identifier: GPL-3.0-or-later
// UpnpPinholeGateway: the home router's IPv6 firewall reached through miniupnpc.
#pragma once

#include "UpnpGateway.h"

#include <QByteArray>

#include <memory>

// The router is searched for over IPv6 (SSDP on ff02::c), because a router grants a
// pinhole only to the address that asks for it: asked over IPv4, miniupnpd answers
// 606 (not authorised). `bindAddress` is the voice control's TAVRINO_BIND_ADDRESS:
// an IPv4 one means the host takes no IPv6 calls, an IPv6 one is the address the
// pinhole must point to. Threads: the port mapper's worker thread only, as IGateway.
std::unique_ptr<IPinholeGateway> NewUpnpPinholeGateway(const QByteArray& bindAddress);
