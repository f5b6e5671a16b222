// Each stored connection's choices about encrypted calls.
#include "modConnectionSecurity.h"

#include "modUserData.h"

#include <QSettings>
#include <QUrl>

namespace {

QSettings UserSettings() {
    return QSettings(QSettings::UserScope, QStringLiteral("HALVORN Corporation"),
                     QStringLiteral("TESSORA-R"));
}

// A name may hold "/" and other characters with a meaning to QSettings keys.
QString Key(const QString& connectName, const char* value) {
    return QStringLiteral("Connections/%1/%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(connectName)), QLatin1String(value));
}

void Set(const QString& key, bool value) {
    QSettings settings = UserSettings();
    settings.setValue(key, value);
    settings.sync();
}

} // namespace

ConnectionSecurity LoadConnectionSecurity(const QString& connectName) {
    const QSettings settings = UserSettings();
    return {settings.value(Key(connectName, "AllowUnencryptedCalls"), false).toBool(),
            settings.value(Key(connectName, "Pinned"), false).toBool()};
}

void SetAllowUnencrypted(const QString& connectName, bool allow) {
    Set(Key(connectName, "AllowUnencryptedCalls"), allow);
}

void SetPinned(const QString& connectName, bool pinned) {
    Set(Key(connectName, "Pinned"), pinned);
}

QString FallbackUserData(const ConnectionSecurity& security, bool allowedForRun,
                         const QString& userName, const QString& password) {
    if (security.pinned || !(security.allowUnencrypted || allowedForRun))
        return {};
    return BuildUserData(userName, password);
}
