// SPDX-License-Identifier: GPL-3.0-or-later
// The credentials a caller sends with its call request.
#include "modUserData.h"

#include "RecordLine.h"

QString BuildUserData(const QString& userName, const QString& password) {
    return RecordLine::Write({{"ID", userName}, {"Password", password}});
}

bool ParseUserData(const QString& userData, QString* userName, QString* password) {
    // Two pieces, each with its "=", as the remote's connection list wants its six; the
    // password keeps every further "&".
    const RecordLine fields(userData, 2);
    const bool complete = fields.IsComplete();
    *userName = complete ? fields.Value(0) : QString();
    *password = complete ? fields.Value(1) : QString();
    return complete;
}
