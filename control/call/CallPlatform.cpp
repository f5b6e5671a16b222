// SPDX-License-Identifier: GPL-3.0-or-later
// CallPlatform: what the call engine runs on.
#include "CallPlatform.h"

#include "CCallMedia.h"
#include "CCallSocket.h"
#include "CTaskWnd.h"

CallPlatform RealCallPlatform(CAudioSession& session) {
    CallPlatform platform;
    platform.socket = std::make_unique<CCallSocket>();
    platform.taskWindow = std::make_unique<CTaskWnd>();
    platform.media = std::make_unique<CCallMedia>(session);
    platform.clock = std::make_unique<CSteadyClock>();
    return platform;
}
