// SPDX-License-Identifier: GPL-3.0-or-later
// The plot of the Call Statistics window, drawn with QPainter.
#include "CallStatisticsPlot.h"

#include "CallStatisticsFeed.h"
#include "modHvnRegistry.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

using Sample = CallStatisticsFeed::Sample;
using Series = std::optional<double> Sample::*;

struct Line {
    Series series;
    QColor color;
    QString name;
};

// The smallest of 50, 100, 200, 500, ... ms or 1, 2, 5, 10, ... % above every value.
double Ceiling(double highest, double least) {
    double top = least;
    for (int i = 0; top < highest; ++i)
        top *= (i % 3 == 1) ? 2.5 : 2;
    return top;
}

void DrawPanel(QPainter& p, const QRectF& area, const std::deque<Sample>& history, double nowS,
               const std::vector<Line>& lines, double least, const QString& unit) {
    double highest = 0;
    for (const Sample& s : history)
        for (const Line& l : lines)
            if (s.*l.series)
                highest = std::max(highest, *(s.*l.series));
    const double top = Ceiling(highest, least);
    p.setPen(QColor(160, 160, 160));
    p.drawRect(area);
    p.setPen(Qt::black);
    p.drawText(area.adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignLeft,
               QStringLiteral("%1 %2").arg(top).arg(unit));
    const auto x = [&](double atS) {
        return area.right() - (nowS - atS) / CallStatisticsFeed::kHistorySeconds * area.width();
    };
    const auto y = [&](double v) { return area.bottom() - std::min(v, top) / top * area.height(); };
    qreal legend = area.left() + 80;
    for (const Line& l : lines) {
        QPainterPath path;
        bool drawing = false;
        for (const Sample& s : history) {
            const std::optional<double> v = s.*l.series;
            if (!v) {
                drawing = false; // unknown: a gap, not a zero
                continue;
            }
            const QPointF at(x(s.atS), y(*v));
            drawing ? path.lineTo(at) : path.moveTo(at);
            drawing = true;
        }
        p.setPen(QPen(l.color, 2));
        p.drawPath(path);
        p.drawText(QPointF(legend, area.top() + 14), l.name);
        legend += p.fontMetrics().horizontalAdvance(l.name) + 16;
    }
}

} // namespace

CallStatisticsPlot::CallStatisticsPlot(const CallStatisticsFeed* feed, QWidget* parent)
    : QWidget(parent), m_feed(feed) {
    setObjectName(QStringLiteral("picCallPlot"));
    setMinimumSize(320, 160);
    connect(feed, &CallStatisticsFeed::Updated, this, [this] {
        ApplyLanguage();
        update();
    });
}

void CallStatisticsPlot::ApplyLanguage() {
    setAccessibleName(Tr(QStringLiteral("Last two minutes"), QStringLiteral("直近2分間")));
    const auto& history = m_feed->History();
    const auto text = [](const std::optional<double>& v, const char* unit) {
        return v ? QStringLiteral("%1 %2").arg(std::round(*v * 10) / 10).arg(QLatin1String(unit))
                 : QStringLiteral("-");
    };
    const Sample last = history.empty() ? Sample{} : history.back();
    setAccessibleDescription(
        Tr(QStringLiteral("Now: round trip %1, buffer %2, loss in %3, loss out %4"),
           QStringLiteral("現在: 往復 %1、バッファー %2、受信の損失 %3、送信の損失 %4"))
            .arg(text(last.rttMs, "ms"), text(last.bufferMs, "ms"), text(last.lossInPct, "%"),
                 text(last.lossOutPct, "%")));
}

void CallStatisticsPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const auto& history = m_feed->History();
    const double nowS = history.empty() ? 0 : history.back().atS;
    const QRectF whole = QRectF(rect()).adjusted(4, 4, -4, -4);
    const QRectF upper(whole.left(), whole.top(), whole.width(), whole.height() / 2 - 2);
    const QRectF lower(whole.left(), whole.center().y() + 2, whole.width(), whole.height() / 2 - 2);
    DrawPanel(p, upper, history, nowS,
              {{&Sample::rttMs, QColor(30, 90, 200), Tr(QStringLiteral("round trip"), QStringLiteral("往復"))},
               {&Sample::bufferMs, QColor(30, 150, 60), Tr(QStringLiteral("buffer"), QStringLiteral("バッファー"))}},
              50, QStringLiteral("ms"));
    DrawPanel(p, lower, history, nowS,
              {{&Sample::lossInPct, QColor(200, 40, 40), Tr(QStringLiteral("loss in"), QStringLiteral("受信の損失"))},
               {&Sample::lossOutPct, QColor(220, 140, 0), Tr(QStringLiteral("loss out"), QStringLiteral("送信の損失"))}},
              1, QStringLiteral("%"));
}
