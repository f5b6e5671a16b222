// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver of captured voice frames (the call's packet guard), called on the capture thread.
#pragma once

#include <cstdint>

class IVoiceFrameSink {
public:
    virtual ~IVoiceFrameSink() = default;
    // Called once per captured 20 ms frame of a wideband call that is to be sent, on the
    // capture thread: `seq` counts the frames captured since the call's capture began
    // (those not sent too), `packet` holds `length` Opus bytes.
    virtual void SendWidebandFrame(uint16_t seq, const uint8_t* packet, int length) = 0;
    // Called once per captured 120 ms frame that is to be sent (the capture side has
    // dropped those its detector called silent while detection is on), on the capture
    // thread. `frame` holds `length` (195) GSM bytes and is valid only during the call.
    virtual void SendVoiceFrame(const uint8_t* frame, int length) = 0;
};
