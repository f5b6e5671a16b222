// SPDX-License-Identifier: GPL-3.0-or-later
// The host's pictures, drawn at run time: the lamps and the disabled-user mark.
#include "modPictures.h"

#include <QPainter>
#include <QRadialGradient>

namespace {

QPixmap Blank(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap LampPixmap(LampColour colour, bool lit) {
    constexpr int side = 18;
    QPixmap pixmap = Blank(side, side);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor hue = colour == LampColour::Receive ? QColor(40, 220, 60) : QColor(235, 50, 40);
    const QColor base = lit ? hue : QColor(35, 35, 35);
    QRadialGradient glow(side * 0.35, side * 0.35, side * 0.6);
    glow.setColorAt(0.0, lit ? base.lighter(170) : QColor(90, 90, 90));
    glow.setColorAt(1.0, base);
    p.setBrush(glow);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.drawEllipse(QRectF(1.5, 1.5, side - 3, side - 3));
    return pixmap;
}

QPixmap DisabledUserPixmap() {
    constexpr int side = 16;
    QPixmap pixmap = Blank(side, side);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(210, 30, 30));
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
    return pixmap;
}
