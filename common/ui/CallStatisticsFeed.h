// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of the call that stands, read from the control once a second, and the last
// two minutes of the ones the plot shows. Runs on the GUI thread, which owns the control.
#pragma once

#include "CallFigures.h"

#include <QElapsedTimer>
#include <QObject>

#include <deque>
#include <optional>

class QTimer;
class TavrinoClient;

class CallStatisticsFeed : public QObject {
    Q_OBJECT
public:
    struct Sample {
        double atS = 0; // since the call connected
        std::optional<double> rttMs, lossInPct, lossOutPct, bufferMs;
    };
    static constexpr int kPeriodMs = 1000;
    static constexpr int kHistorySeconds = 120;

    CallStatisticsFeed(TavrinoClient* control, QObject* parent);

    // A call connected: a fresh history, read from now on.
    void Start();
    // The call ended: its last figures stay until the next one.
    void Stop();
    bool Running() const;

    const CallFigures& Latest() const { return m_latest; }
    const std::deque<Sample>& History() const { return m_history; }

signals:
    void Updated();

private:
    void Poll();

    TavrinoClient* const m_control;
    QTimer* m_timer; // child
    QElapsedTimer m_since;
    CallFigures m_latest;
    std::deque<Sample> m_history;
};
