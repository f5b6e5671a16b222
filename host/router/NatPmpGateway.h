// SPDX-License-Identifier: GPL-3.0-or-later
// The home router reached through NAT-PMP, for routers without UPnP; and the
// router found by whichever way answers first.
#pragma once

#include "UpnpGateway.h"

#include <memory>
#include <vector>

// The default gateway, asked by NAT-PMP. It cannot list forwardings, so a
// check of ours asks for it again (which also renews it); a public port the
// router gives to another machine answers as kUpnpConflict.
std::unique_ptr<IGateway> NewNatPmpGateway();

// Searches by each way in order; the first that finds a router serves until
// the next search.
std::unique_ptr<IGateway> NewFirstFoundGateway(std::vector<std::unique_ptr<IGateway>> ways);
