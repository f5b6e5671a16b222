// SPDX-License-Identifier: GPL-3.0-or-later
// Each stored connection's choices about encrypted calls.
#include "modConnectionSecurity.h"

#include "modUserData.h"
#include "modUserSettings.h"

#include <QUrl>

namespace {

const QString kRemote = QStringLiteral("TESSORA-R");

// A name may hold "/" and other characters with a meaning to QSettings keys.
QString Key(const QString& connectName, const char* value) {
    return QStringLiteral("Connections/%1/%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(connectName)), QLatin1String(value));
}

} // namespace

ConnectionSecurity LoadConnectionSecurity(const QString& connectName) {
    return {UserOption(kRemote, Key(connectName, "AllowUnencryptedCalls"), false),
            UserOption(kRemote, Key(connectName, "Pinned"), false)};
}

void SetAllowUnencrypted(const QString& connectName, bool allow) {
    SetUserOption(kRemote, Key(connectName, "AllowUnencryptedCalls"), allow);
}

void SetPinned(const QString& connectName, bool pinned) {
    SetUserOption(kRemote, Key(connectName, "Pinned"), pinned);
}

QString FallbackUserData(const ConnectionSecurity& security, bool allowedForRun,
                         const QString& userName, const QString& password) {
    if (security.pinned || !(security.allowUnencrypted || allowedForRun))
        return {};
    return BuildUserData(userName, password);
}
