// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver of the call engine's three reports (the control's event sink).
#pragma once

#include <cstdint>
#include <string>

// Called on the control's thread, from the task window's event, never from inside a
// method call; the receiver may destroy the engine while it handles one.
class ICallEventSink {
public:
    virtual ~ICallEventSink() = default;
    virtual void FireStatus(int32_t code) = 0;
    virtual void FireText(const std::string& text, const std::string& userData) = 0;
    virtual void FireConnection(const std::string& address, int32_t port,
                                const std::string& userData) = 0;
};
