// SPDX-License-Identifier: GPL-3.0-or-later
// SecureCall: the start of libsodium and the sid of the short secure packets.
#include "SecureCall.h"

#include <sodium.h>

#include <cstring>

namespace SecureCall {

bool Ready() {
    // A function-local static is initialised once, even with several threads racing here;
    // sodium_init answers 1 when something else in the process already started it.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

bool ReadSid(const uint8_t* payload, int length, Sid* sid) {
    if (payload == nullptr || length < kSidBytes)
        return false;
    std::memcpy(sid->data(), payload, kSidBytes);
    return true;
}

} // namespace SecureCall
