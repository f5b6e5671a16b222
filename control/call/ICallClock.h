// SPDX-License-Identifier: GPL-3.0-or-later
// ICallClock: the milliseconds the call engine's deadlines are kept in.
#pragma once

#include <chrono>
#include <cstdint>

class ICallClock {
public:
    virtual ~ICallClock() = default;
    // Never goes back.
    virtual int64_t NowMs() const = 0;
};

class CSteadyClock final : public ICallClock {
public:
    int64_t NowMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};
