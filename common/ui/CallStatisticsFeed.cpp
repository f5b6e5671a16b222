// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of the call that stands, once a second.
#include "CallStatisticsFeed.h"

#include "TavrinoClient.h"

#include <QTimer>

CallStatisticsFeed::CallStatisticsFeed(TavrinoClient* control, QObject* parent)
    : QObject(parent), m_control(control), m_timer(new QTimer(this)) {
    m_timer->setInterval(kPeriodMs);
    connect(m_timer, &QTimer::timeout, this, &CallStatisticsFeed::Poll);
}

void CallStatisticsFeed::Start() {
    m_history.clear();
    m_since.start();
    m_timer->start();
    Poll();
}

void CallStatisticsFeed::Stop() {
    if (!m_timer->isActive())
        return;
    m_timer->stop();
    Poll(); // the call's last figures, which the control keeps until the next one
}

bool CallStatisticsFeed::Running() const {
    return m_timer->isActive();
}

void CallStatisticsFeed::Poll() {
    m_latest = CallFigures(m_control->CallString(Tavrino::DISPID_GET_CALL_STATISTICS));
    const double now = static_cast<double>(m_since.elapsed()) / 1000.0;
    m_history.push_back({now, m_latest.Number(QStringLiteral("rtt_ms")),
                         m_latest.Number(QStringLiteral("loss_in_10s_pct")),
                         m_latest.Number(QStringLiteral("loss_out_10s_pct")),
                         m_latest.Number(QStringLiteral("buffer_in_ms"))});
    while (!m_history.empty() && m_history.front().atS < now - kHistorySeconds)
        m_history.pop_front();
    emit Updated();
}
