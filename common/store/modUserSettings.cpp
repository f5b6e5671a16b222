// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's own options of a station, kept in the user's configuration.
#include "modUserSettings.h"

#include <QSettings>

QSettings UserSettings(const QString& programTitle) {
    return QSettings(QSettings::UserScope, QStringLiteral("HALVORN Corporation"), programTitle);
}

bool UserOption(const QString& programTitle, const QString& key, bool byDefault) {
    return UserSettings(programTitle).value(key, byDefault).toBool();
}

void SetUserOption(const QString& programTitle, const QString& key, bool on) {
    QSettings settings = UserSettings(programTitle);
    settings.setValue(key, on);
    settings.sync();
}
