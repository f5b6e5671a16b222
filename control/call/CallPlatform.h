// SPDX-License-Identifier: GPL-3.0-or-later
// CallPlatform: what the call engine runs on: its socket, task window, media and clock.
#pragma once

#include "ICallClock.h"
#include "ICallMedia.h"
#include "ICallSocket.h"
#include "ICallTaskWindow.h"

#include <memory>

class CAudioSession;

// Handed to the engine, which owns it from then on; tests hand in fakes.
struct CallPlatform {
    std::unique_ptr<ICallSocket> socket;
    std::unique_ptr<ICallTaskWindow> taskWindow;
    std::unique_ptr<ICallMedia> media;
    std::unique_ptr<ICallClock> clock;
};

// The real one: the UDP socket, the task window, the media on `session`'s devices and
// the monotonic clock.
CallPlatform RealCallPlatform(CAudioSession& session);
