// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of a call as the control's GetCallStatistics gives them: a record line of
// key=value pieces joined by "&", "-" where a figure is unknown.
#pragma once

#include <QHash>
#include <QString>

#include <optional>

class CallFigures {
public:
    CallFigures() = default;
    explicit CallFigures(const QString& record);

    bool IsEmpty() const { return m_values.isEmpty(); }
    // The text of `key` as the control wrote it; "-" when it is unknown or missing.
    QString Text(const QString& key) const;
    // The number of `key`; nothing when it is unknown, missing or not a number.
    std::optional<double> Number(const QString& key) const;

private:
    QHash<QString, QString> m_values;
};
