// SPDX-License-Identifier: GPL-3.0-or-later
// ICallTaskWindow: the call engine's timers and the delivery of its reports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class ICallEventSink;

enum TimerId : int {
    TIMER_RATE = 0,
    TIMER_CALL_TIMEOUT = 1,
    TIMER_SUPERVISION = 2,
    TIMER_RESEND = 3,
    TIMER_KEEPALIVE = 4,
    TIMER_PENDING_AGE = 5,
    // 6 and 7 were the voice activity detector's; its timers run on the capture thread.
    TIMER_NEXT_ADDRESS = 8 // a call to a name: the next of its addresses is tried
};

// Threads: the control's thread; reports reach the sink later, from its event loop, in
// the order they were posted.
class ICallTaskWindow {
public:
    using TimerTick = std::function<void(int id)>;
    // Just before an encrypted attempt's announcement reaches the sink, or when it is
    // dropped on its way: which attempt it was.
    using AnnouncementDelivery = std::function<void(uint64_t attempt, bool delivered)>;

    virtual ~ICallTaskWindow() = default;
    // Ticks go to `onTick`, reports to `sink`; starts the permanent timers (the pending
    // calls' ageing and the once-a-second one).
    virtual bool Create(TimerTick onTick, ICallEventSink* sink, AnnouncementDelivery onDelivery) = 0;
    virtual void Destroy() = 0; // stops all timers, drops queued reports; safe twice
    virtual void StartTimer(int id, int periodMs) = 0; // restarts a running timer
    virtual void StopTimer(int id) = 0;
    virtual void PostStatus(int32_t code) = 0;
    virtual void PostText(const std::string& text, const std::string& userData) = 0;
    // `attempt` (0: none) is reported to the delivery callback.
    virtual void PostConnection(const std::string& address, int32_t port,
                                const std::string& userData, uint64_t attempt) = 0;
};
