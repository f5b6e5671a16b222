// SPDX-License-Identifier: GPL-3.0-or-later
// The plot of the Call Statistics window: the last two minutes of the round trip and the
// jitter buffer's delay (ms, above) and of the loss each way over 10 s (%, below).
#pragma once

#include <QWidget>

class CallStatisticsFeed;

class CallStatisticsPlot : public QWidget {
    Q_OBJECT
public:
    CallStatisticsPlot(const CallStatisticsFeed* feed, QWidget* parent);
    QSize sizeHint() const override { return {480, 240}; }
    // Captions, and the description screen readers get of what the plot shows now.
    void ApplyLanguage();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CallStatisticsFeed* const m_feed;
};
