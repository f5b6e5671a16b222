// SPDX-License-Identifier: GPL-3.0-or-later
// What a station's store has to tell the operator after an operation, and the save that
// gives one. The stores never show a box: the window or dialog that asked shows it.
#pragma once

#include <QString>
#include <QStringList>

struct StoreResult {
    bool ok = true;
    QString failure; // in the active language; empty when ok

    explicit operator bool() const { return ok; }
    static StoreResult Failed(const QString& text) { return {false, text}; }
};

// Rewrites the file at `path` whole with `lines` (WriteTextLines). A failure names the
// file, followed by `advice`, the line in which each station says what to do.
StoreResult SaveStationFile(const QString& path, const QStringList& lines, const QString& advice);
