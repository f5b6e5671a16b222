// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalTextValidator.h"

#include "LocalText.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QLineEdit>

LocalTextValidator::LocalTextValidator(const QRegularExpression& allowed, QLineEdit* box)
    : QRegularExpressionValidator(allowed, box), m_box(box) {}

QValidator::State LocalTextValidator::validate(QString& input, int& pos) const {
    QString refused;
    Tavrino::EncodeLocalText(input, &refused);
    if (refused.isEmpty())
        return QRegularExpressionValidator::validate(input, pos);
    QString shown; // each character once
    for (const char32_t c : refused.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (!shown.contains(one))
            shown += one;
    }
    const QString text =
        Tr(QStringLiteral("\"%1\" cannot be entered: the system's character encoding (%2) has "
                          "no place for it."),
           QStringLiteral(
               "「%1」は入力できません。システムの文字コード（%2）では表せない文字です。"))
            .arg(shown, QString::fromLatin1(Tavrino::LocalTextEncoding()));
    // Told once the edit is over: a box opened from inside the field's own key
    // handling would run its event loop there.
    if (m_box)
        QMetaObject::invokeMethod(
            m_box, [box = m_box, text] { ShowWarningBox(box ? box->window() : nullptr, text); },
            Qt::QueuedConnection);
    return Invalid;
}
