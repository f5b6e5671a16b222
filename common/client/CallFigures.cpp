// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of a call, read from the control's record line.
#include "CallFigures.h"

#include <QStringList>

CallFigures::CallFigures(const QString& record) {
    // Keys and values are the control's own words and numbers: nothing in them is escaped.
    for (const QString& piece : record.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype at = piece.indexOf(QLatin1Char('='));
        if (at > 0)
            m_values.insert(piece.left(at), piece.mid(at + 1));
    }
}

QString CallFigures::Text(const QString& key) const {
    return m_values.value(key, QStringLiteral("-"));
}

std::optional<double> CallFigures::Number(const QString& key) const {
    bool ok = false;
    const double value = m_values.value(key).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}
