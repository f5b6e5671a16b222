// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader says about the stations' windows where Qt finds nothing to say by itself.
#include "modAccessibility.h"

#include "modHvnRegistry.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QWidget>

void DescribePicture(QWidget* picture, const QString& name, const QString& description) {
    picture->setAccessibleName(name);
    if (picture->accessibleDescription() == description)
        return;
    // Qt announces a changed name but not a changed description; a lamp needs the latter.
    picture->setAccessibleDescription(description);
    QAccessibleEvent changed(picture, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

void NameForReaders(QWidget* widget, const QString& name) {
    widget->setAccessibleName(name);
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        combo->view()->setAccessibleName(name);
}

void DescribeLamp(Lamp lamp, QWidget* lit, QWidget* dark, bool on) {
    const bool rx = lamp == Lamp::Receive;
    const QString name = rx ? Tr(QStringLiteral("Rx lamp"), QStringLiteral("受信ランプ"))
                            : Tr(QStringLiteral("Tx lamp"), QStringLiteral("送信ランプ"));
    QString state;
    if (rx)
        state = on ? Tr(QStringLiteral("Receiving"), QStringLiteral("受信中"))
                   : Tr(QStringLiteral("Not receiving"), QStringLiteral("受信していません"));
    else
        state = on ? Tr(QStringLiteral("Sending"), QStringLiteral("送信中"))
                   : Tr(QStringLiteral("Not sending"), QStringLiteral("送信していません"));
    DescribePicture(lit, name, state);
    DescribePicture(dark, name, state);
}

void DescribeLogo(QWidget* logo) {
    DescribePicture(logo, Tr(QStringLiteral("HALVORN logo"), QStringLiteral("HALVORNのロゴ")),
                    Tr(QStringLiteral("The maker, HALVORN Corporation"),
                       QStringLiteral("製造元 HALVORN Corporation")));
}

void DescribeStationIcon(QWidget* icon, const QString& programTitle, const QString& modelLine) {
    DescribePicture(icon,
                    Tr(QStringLiteral("%1 icon").arg(programTitle),
                       QStringLiteral("%1のアイコン").arg(programTitle)),
                    programTitle + QLatin1Char(' ') + modelLine);
}
