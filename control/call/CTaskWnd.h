// SPDX-License-Identifier: GPL-3.0-or-later
// CTaskWnd: the control's timers and the delivery of its reports on the owner's thread.
#pragma once

#include "ICallEventSink.h"
#include "ICallTaskWindow.h"

#include <QBasicTimer>
#include <QObject>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

enum : int { WM_VOIP_STATUS = 2024, WM_VOIP_TEXT = 2025, WM_VOIP_CONNECTION = 2026 };

// Threads: everything here belongs to the thread the object lives on (the owner's
// thread): the timers, the report queue and the announcing flag. Reports are only
// posted from that thread, so no lock is needed; the queue is drained by posted
// events, one report per event, so reports reach the sink from its event loop in
// posting order and never from inside the call that posted them.
class CTaskWnd : public QObject, public ICallTaskWindow {
    Q_OBJECT
public:
    explicit CTaskWnd(QObject* parent = nullptr);
    ~CTaskWnd() override;

    // Ticks go to `onTick`, reports straight to `sink` (none: they are dropped); false
    // without `onTick`. Starts timers 5 and 0.
    bool Create(TimerTick onTick, ICallEventSink* sink, AnnouncementDelivery onDelivery = {}) override;
    void Destroy() override;                        // stops all timers, drops queued reports; safe twice
    void StartTimer(int id, int periodMs) override; // restarts a running timer
    void StopTimer(int id) override;
    bool IsTimerActive(int id) const;
    void PostStatus(int32_t code) override;
    void PostText(const std::string& text, const std::string& userData) override;
    void PostConnection(const std::string& address, int32_t port, const std::string& userData,
                        uint64_t attempt = 0) override;

    bool IsCreated() const { return static_cast<bool>(m_onTick); }
    int QueuedReports() const { return static_cast<int>(m_reports.size()); }

    static constexpr int kTimerCount = 9;
    static constexpr int kRatePeriodMs = 1000;
    static constexpr int kPendingAgePeriodMs = 30000;
    // Announcements waiting for delivery beyond this many drop the oldest: a flood of
    // call requests from many addresses must not grow the queue without bound.
    static constexpr int kMaxQueuedAnnouncements = 64;

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    struct Report {
        int kind = 0;       // WM_VOIP_STATUS, WM_VOIP_TEXT or WM_VOIP_CONNECTION
        int32_t value = 0;  // status code or caller port
        std::string first;  // text or caller address
        std::string second; // user data
        uint64_t attempt = 0; // an announcement's encrypted attempt
    };

    void Enqueue(Report report);
    void DeliverOne();
    void Dropped(const Report& report);

    TimerTick m_onTick; // set while created
    ICallEventSink* m_sink = nullptr;
    AnnouncementDelivery m_onDelivery;
    bool m_announcing = false;
    std::array<QBasicTimer, kTimerCount> m_timers;
    std::deque<Report> m_reports;
    int m_queuedAnnouncements = 0;
};
