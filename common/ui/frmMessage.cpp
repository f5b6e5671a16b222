// SPDX-License-Identifier: GPL-3.0-or-later
// The timed message window: an exclamation icon and one message, above all windows.
#include "frmMessage.h"

#include "modAccessibility.h"
#include "modFormCommon.h"
#include "modHvnRegistry.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QStyle>

frmMessage::frmMessage(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("frmMessage"));
    setModal(false);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    picIcon->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 13, 27, 27);
    layout->setSpacing(16);
    layout->addWidget(picIcon, 0, Qt::AlignTop);
    layout->addWidget(lblMessage, 1, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SetFormFonts();
    DescribePicture(picIcon, Tr(QStringLiteral("Warning"), QStringLiteral("警告")),
                    Tr(QStringLiteral("Exclamation mark"), QStringLiteral("感嘆符")));
}

void frmMessage::SetFormFonts() {
    SetFormBaseFont(this);
}

void frmMessage::ShowMessage(const QString& message, const QString& caption) {
    lblMessage->setText(message);
    setWindowTitle(caption);
    show();
    // Centred with its final size, known once shown and polished.
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size();
        move(area.left() + (area.width() - outer.width()) / 2,
             area.top() + (area.height() - outer.height()) / 2);
    }
    raise();
}
