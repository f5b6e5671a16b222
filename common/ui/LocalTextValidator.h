// SPDX-License-Identifier: GPL-3.0-or-later
// Entry of text that the stations store and send in the locale's 8-bit
// encoding: what that encoding cannot hold is refused as it is typed or
// pasted, and the operator is told why, instead of a "?" turning up later.
#pragma once

#include <QPointer>
#include <QRegularExpressionValidator>

class QLineEdit;

class LocalTextValidator : public QRegularExpressionValidator {
public:
    // For `box`, which owns it. `allowed` still decides the rest (such as the
    // separators a field of a stored line must not hold), without a message.
    LocalTextValidator(const QRegularExpression& allowed, QLineEdit* box);

    State validate(QString& input, int& pos) const override;

private:
    QPointer<QLineEdit> m_box;
};
