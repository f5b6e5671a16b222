// SPDX-License-Identifier: GPL-3.0-or-later
// Run > Call Statistics: the figures of the call that stands (or of the last one), each
// direction, refreshed once a second, above a plot of the last two minutes. Not modal:
// the operator keeps it open beside the main window.
#pragma once

#include <QDialog>

#include <vector>

class CallStatisticsFeed;
class CallStatisticsPlot;
class QLabel;
class QPushButton;

class frmCallStatistics : public QDialog {
    Q_OBJECT
public:
    frmCallStatistics(const CallStatisticsFeed* feed, QWidget* parent);
    void ApplyLanguage();

private:
    struct Row;
    struct RowLabels {
        QLabel* name;
        QLabel* in;
        QLabel* out;
    };
    void Refresh();

    const CallStatisticsFeed* const m_feed;
    QLabel* lblCallState;
    QLabel* lblReceived;
    QLabel* lblSent;
    std::vector<RowLabels> m_rows;
    CallStatisticsPlot* m_plot;
    QPushButton* cmdClose;
};
