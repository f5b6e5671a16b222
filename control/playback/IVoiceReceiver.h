// SPDX-License-Identifier: GPL-3.0-or-later
// IVoiceReceiver: where a call's received voice goes: decoded and played by a codec's path.
#pragma once

#include <cstdint>

// Threads: the control's thread (the call engine hands payloads over as they arrive).
class IVoiceReceiver {
public:
    virtual ~IVoiceReceiver() = default;
    // One voice payload as the guard opened it (the codec's bytes, no cipher or seal).
    virtual void Receive(const uint8_t* payload, int length) = 0;
};
