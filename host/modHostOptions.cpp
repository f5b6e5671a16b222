// SPDX-License-Identifier: GPL-3.0-or-later
// The host's options kept in the user's own configuration.
#include "modHostOptions.h"

#include "modUserSettings.h"

#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace {

const QString kAcceptUnencryptedKey = QStringLiteral("Security/AcceptUnencryptedCalls");
const QString kPinnedUsersKey = QStringLiteral("Security/PinnedUsers");
const QString kHomesGroup = QStringLiteral("Security/HomeAddresses");
const QString kHost = QStringLiteral("TESSORA-H");

} // namespace

bool AcceptUnencryptedCallsOption() {
    return UserOption(kHost, kAcceptUnencryptedKey, true);
}

void SetAcceptUnencryptedCallsOption(bool on) {
    SetUserOption(kHost, kAcceptUnencryptedKey, on);
}

QSet<QString> PinnedUsers() {
    const QStringList users = UserSettings(kHost).value(kPinnedUsersKey).toStringList();
    return QSet<QString>(users.begin(), users.end());
}

void SavePinnedUsers(const QSet<QString>& users) {
    QStringList sorted(users.begin(), users.end());
    std::sort(sorted.begin(), sorted.end()); // a stable file for the operator to read
    QSettings settings = UserSettings(kHost);
    settings.setValue(kPinnedUsersKey, sorted);
    settings.sync();
}

QHash<QString, QStringList> HomeAddresses() {
    QSettings settings = UserSettings(kHost);
    settings.beginGroup(kHomesGroup);
    QHash<QString, QStringList> homes;
    // A user name may hold "/" and other characters with a meaning to QSettings keys.
    for (const QString& key : settings.childKeys())
        homes.insert(QUrl::fromPercentEncoding(key.toLatin1()), settings.value(key).toStringList());
    return homes;
}

void SaveHomeAddresses(const QHash<QString, QStringList>& homes) {
    QSettings settings = UserSettings(kHost);
    settings.remove(kHomesGroup);
    settings.beginGroup(kHomesGroup);
    for (auto it = homes.cbegin(); it != homes.cend(); ++it)
        if (!it.value().isEmpty())
            settings.setValue(QString::fromLatin1(QUrl::toPercentEncoding(it.key())), it.value());
    settings.endGroup();
    settings.sync();
}
