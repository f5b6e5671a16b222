// SPDX-License-Identifier: GPL-3.0-or-later
// CTaskWnd: timers by id and the posted delivery of status, text and connection reports.
#include "CTaskWnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

// One posted event per queued report: the owner's event loop delivers them one by one,
// so a handler that pumps messages receives later reports nested, in order.
QEvent::Type DeliverEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// The platform's timers treat shorter periods as 10 ms; a zero period would spin.
constexpr int kMinPeriodMs = 10;

} // namespace

CTaskWnd::CTaskWnd(QObject* parent) : QObject(parent) {}

CTaskWnd::~CTaskWnd() {
    Destroy();
}

bool CTaskWnd::Create(TimerTick onTick, ICallEventSink* sink, AnnouncementDelivery onDelivery) {
    if (!onTick) {
        return false;
    }
    Destroy();
    m_onTick = std::move(onTick);
    m_sink = sink;
    m_onDelivery = std::move(onDelivery);
    StartTimer(TIMER_PENDING_AGE, kPendingAgePeriodMs);
    StartTimer(TIMER_RATE, kRatePeriodMs);
    return true;
}

void CTaskWnd::Destroy() {
    for (QBasicTimer& timer : m_timers) {
        timer.stop();
    }
    // Reports still queued are lost with the window; the strings they own go with them.
    m_reports.clear();
    m_queuedAnnouncements = 0;
    QCoreApplication::removePostedEvents(this, DeliverEventType());
    m_onTick = nullptr;
    m_sink = nullptr;
    m_onDelivery = nullptr;
}

void CTaskWnd::StartTimer(int id, int periodMs) {
    if (id < 0 || id >= kTimerCount || !IsCreated()) {
        return;
    }
    // QBasicTimer::start restarts a running timer with the new period. Precise, because a
    // coarse timer may fire 5 % early, and one of 20 s or more on a whole second, up to
    // half a second early: a call would time out before its time.
    m_timers[static_cast<size_t>(id)].start(std::clamp(periodMs, kMinPeriodMs, INT_MAX),
                                            Qt::PreciseTimer, this);
}

void CTaskWnd::StopTimer(int id) {
    if (id < 0 || id >= kTimerCount) {
        return;
    }
    m_timers[static_cast<size_t>(id)].stop();
}

bool CTaskWnd::IsTimerActive(int id) const {
    if (id < 0 || id >= kTimerCount) {
        return false;
    }
    return m_timers[static_cast<size_t>(id)].isActive();
}

void CTaskWnd::PostStatus(int32_t code) {
    Enqueue(Report{WM_VOIP_STATUS, code, {}, {}});
}

void CTaskWnd::PostText(const std::string& text, const std::string& userData) {
    Enqueue(Report{WM_VOIP_TEXT, 0, text, userData});
}

void CTaskWnd::PostConnection(const std::string& address, int32_t port,
                              const std::string& userData, uint64_t attempt) {
    if (!IsCreated()) {
        return;
    }
    if (m_queuedAnnouncements >= kMaxQueuedAnnouncements) {
        // A caller that matters repeats its request every 3 s and is announced again.
        auto oldest = std::find_if(m_reports.begin(), m_reports.end(),
                                   [](const Report& r) { return r.kind == WM_VOIP_CONNECTION; });
        if (oldest != m_reports.end()) {
            const Report dropped = std::move(*oldest);
            m_reports.erase(oldest);
            --m_queuedAnnouncements;
            Dropped(dropped);
        }
    }
    Enqueue(Report{WM_VOIP_CONNECTION, port, address, userData, attempt});
}

void CTaskWnd::Dropped(const Report& report) {
    // A stated caller is announced again with its next copy; an encrypted attempt is
    // announced once, so the engine must learn that this one never arrived.
    if (report.attempt != 0 && m_onDelivery) {
        m_onDelivery(report.attempt, false);
    }
}

void CTaskWnd::Enqueue(Report report) {
    if (!IsCreated()) {
        return; // no window, no message
    }
    if (report.kind == WM_VOIP_CONNECTION) {
        ++m_queuedAnnouncements;
    }
    const bool wasEmpty = m_reports.empty();
    m_reports.push_back(std::move(report));
    if (wasEmpty) {
        // postEvent takes ownership of the event.
        QCoreApplication::postEvent(this, new QEvent(DeliverEventType()));
    }
}

bool CTaskWnd::event(QEvent* e) {
    if (e->type() == DeliverEventType()) {
        DeliverOne();
        return true;
    }
    return QObject::event(e);
}

void CTaskWnd::DeliverOne() {
    if (m_reports.empty() || !IsCreated()) {
        return;
    }
    const Report report = std::move(m_reports.front());
    m_reports.pop_front();
    if (report.kind == WM_VOIP_CONNECTION) {
        --m_queuedAnnouncements;
    }
    if (!m_reports.empty()) {
        QCoreApplication::postEvent(this, new QEvent(DeliverEventType()));
    }

    if (m_sink == nullptr) {
        return;
    }
    // The handler may pump messages, destroy the window or even delete this object;
    // nothing below touches a member unless the object still exists.
    ICallEventSink* sink = m_sink;
    switch (report.kind) {
    case WM_VOIP_STATUS:
        sink->FireStatus(report.value);
        break;
    case WM_VOIP_TEXT:
        sink->FireText(report.first, report.second);
        break;
    case WM_VOIP_CONNECTION: {
        if (m_announcing) {
            Dropped(report); // the caller's next repetition announces it again
            break;
        }
        if (report.attempt != 0 && m_onDelivery) {
            m_onDelivery(report.attempt, true);
        }
        m_announcing = true;
        const QPointer<CTaskWnd> self(this);
        sink->FireConnection(report.first, report.value, report.second);
        if (self != nullptr) {
            m_announcing = false;
        }
        break;
    }
    default:
        break;
    }
}

void CTaskWnd::timerEvent(QTimerEvent* e) {
    for (int id = 0; id < kTimerCount; ++id) {
        if (m_timers[static_cast<size_t>(id)].timerId() == e->timerId()) {
            if (IsCreated()) {
                m_onTick(id);
            }
            return;
        }
    }
    QObject::timerEvent(e);
}
