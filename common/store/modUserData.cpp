// SPDX-License-Identifier: GPL-3.0-or-later
// The credentials a caller sends with its call request.
#include "modUserData.h"

QString BuildUserData(const QString& userName, const QString& password) {
    return QStringLiteral("ID=") + userName + QStringLiteral("&Password=") + password;
}

bool ParseUserData(const QString& userData, QString* userName, QString* password) {
    userName->clear();
    password->clear();
    const qsizetype amp = userData.indexOf(QLatin1Char('&'));
    if (amp < 0)
        return false;
    const qsizetype nameEq = userData.indexOf(QLatin1Char('='));
    const qsizetype passwordEq = userData.indexOf(QLatin1Char('='), amp + 1);
    if (nameEq < 0 || nameEq > amp || passwordEq < 0)
        return false;
    *userName = userData.mid(nameEq + 1, amp - nameEq - 1);
    *password = userData.mid(passwordEq + 1);
    return true;
}
