// SPDX-License-Identifier: GPL-3.0-or-later
// Every environment variable the station programs read, in one place.
#include "modStationEnvironment.h"

QString AudioEnvironmentOverride() {
    QStringList set;
    for (const char* name : {"TAVRINO_CAPTURE", "TAVRINO_PLAYBACK", "TAVRINO_ECHO"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            set << QString::fromLatin1(name) + QLatin1Char('=') + QString::fromLocal8Bit(value);
    }
    return set.join(QLatin1Char('\n'));
}

QByteArray BindAddressFromEnvironment() {
    return qgetenv("TAVRINO_BIND_ADDRESS").trimmed();
}

bool RouterPortAllowedByEnvironment() {
    const QString value = qEnvironmentVariable("TESSORA_UPNP").trimmed().toLower();
    return !(value == QLatin1String("off") || value == QLatin1String("0") ||
             value == QLatin1String("no") || value == QLatin1String("false"));
}

int RouterCheckSecondsFromEnvironment() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("TESSORA_UPNP_CHECK_SECONDS", &ok);
    return ok && seconds > 0 ? seconds : 0;
}

QStringList SystemConfigFolders() {
    QStringList dirs;
    for (const QString& d : qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':')))
        if (!d.isEmpty())
            dirs << d;
    if (dirs.isEmpty())
        dirs << QStringLiteral("/etc/xdg");
    return dirs;
}

bool SessionBusNamed() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}
