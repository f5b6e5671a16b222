// SPDX-License-Identifier: GPL-3.0-or-later
// The host's side of the router port: the operator's on/off choice, the texts
// that tell what became of the port, and the mapper the host runs.
#pragma once

#include "CPortMapper.h"

#include <QString>

#include <memory>

// The operator's choice, kept in the user's own configuration ("HALVORN
// Corporation/TESSORA-H.conf" under $XDG_CONFIG_HOME), on by default.
bool RouterPortOptionOn();
void SetRouterPortOption(bool on);

// The status text for a report, in the active language: a line for the IPv4
// forwarding and one for the IPv6 pinhole, each only when it has something to say.
QString RouterPortText(const PortMapReport& report);
// The forwarding's line alone; empty for Off.
QString ForwardingText(const PortMapReport& report);

// A mapper over the real router, searched for by UPnP (from the address the
// voice control is bound to, TAVRINO_BIND_ADDRESS, when one is set), then by
// NAT-PMP; and over its IPv6 firewall, by UPnP over IPv6.
// TESSORA_UPNP_CHECK_SECONDS shortens the check period.
std::unique_ptr<CPortMapper> NewRouterPortMapper(QObject* parent = nullptr);
