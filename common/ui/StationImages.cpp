// SPDX-License-Identifier: GPL-3.0-or-later
// The stations' icons and the maker's logo, built into the programs.
#include "StationImages.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPen>

// Resources compiled into a static library are dropped by the linker unless
// something names their initialiser. (Outside any namespace, as the macro
// declares the initialiser where it stands.)
static void InitResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(StationImages);
        return true;
    }();
    (void)loaded;
}

QIcon StationIcon(const QString& programBase) {
    InitResources();
    if (programBase != QLatin1String("TESSORAH") && programBase != QLatin1String("TESSORAR"))
        return {};
    return QIcon(QStringLiteral(":/tessora/%1.png").arg(programBase));
}

QPixmap HalvornLogo(int height) {
    InitResources();
    const QPixmap logo(QStringLiteral(":/tessora/halvorn-logo.png"));
    return logo.isNull() ? logo : logo.scaledToHeight(height, Qt::SmoothTransformation);
}

QPixmap RatingBarsPixmap(int lit, int size) {
    QPixmap picture(size * 3 / 2, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    const QColor ink = QGuiApplication::palette().color(QPalette::WindowText);
    // Green for a good call, amber for a fair one, red below.
    const QColor fill = lit >= 4 ? QColor(0x2e, 0x7d, 0x32) : lit >= 3 ? QColor(0xf9, 0xa8, 0x25)
                                                                      : QColor(0xc6, 0x28, 0x28);
    const qreal unit = size / 16.0;
    for (int i = 0; i < 5; ++i) {
        const qreal height = (3 + 2.5 * i) * unit;
        const QRectF bar(i * 4.6 * unit + unit, size - height - unit, 3.2 * unit, height);
        painter.setPen(QPen(ink, 0.8 * unit));
        painter.setBrush(i < lit ? fill : QColor(Qt::transparent));
        painter.drawRect(bar);
    }
    return picture;
}

QPixmap LockPixmap(bool closed, int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QGuiApplication::palette().color(QPalette::WindowText);
    const qreal unit = size / 16.0;
    // The shackle: an arch over the body; open, it is lifted and its right end hangs free.
    QPen shackle(ink, 1.8 * unit);
    painter.setPen(shackle);
    painter.setBrush(Qt::NoBrush);
    const qreal top = closed ? 2 * unit : 0;
    painter.drawArc(QRectF(4 * unit, top, 8 * unit, 8 * unit), 0, 180 * 16);
    painter.drawLine(QPointF(4 * unit, top + 4 * unit), QPointF(4 * unit, 8 * unit));
    if (closed)
        painter.drawLine(QPointF(12 * unit, top + 4 * unit), QPointF(12 * unit, 8 * unit));
    // The body, with a keyhole.
    painter.setPen(Qt::NoPen);
    painter.setBrush(closed ? QColor(0x2e, 0x7d, 0x32) : QColor(0xc6, 0x28, 0x28));
    painter.drawRoundedRect(QRectF(2 * unit, 7.5 * unit, 12 * unit, 8 * unit), unit, unit);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(8 * unit, 11 * unit), 1.3 * unit, 1.3 * unit);
    return picture;
}
