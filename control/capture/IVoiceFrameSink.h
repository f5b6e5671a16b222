// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver of captured voice frames (the call engine), called on the capture thread.
#pragma once

#include <cstdint>

class IVoiceFrameSink {
public:
    virtual ~IVoiceFrameSink() = default;
    // Called once per captured 120 ms frame, on the capture thread. `silent` is the
    // detector's flag (1 = silence declared); `frame` holds `length` (195) GSM bytes
    // and is valid only during the call.
    virtual void SendVoiceFrame(int silent, const uint8_t* frame, int length) = 0;
};
