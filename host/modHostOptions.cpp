// The host's options kept in the user's own configuration.
#include "modHostOptions.h"

#include <QStringList>

#include <algorithm>

namespace {

const QString kAcceptUnencryptedKey = QStringLiteral("Security/AcceptUnencryptedCalls");
const QString kPinnedUsersKey = QStringLiteral("Security/PinnedUsers");

} // namespace

QSettings HostUserSettings() {
    return QSettings(QSettings::UserScope, QStringLiteral("HALVORN Corporation"),
                     QStringLiteral("TESSORA-H"));
}

bool AcceptUnencryptedCallsOption() {
    return HostUserSettings().value(kAcceptUnencryptedKey, true).toBool();
}

void SetAcceptUnencryptedCallsOption(bool on) {
    QSettings settings = HostUserSettings();
    settings.setValue(kAcceptUnencryptedKey, on);
    settings.sync();
}

QSet<QString> PinnedUsers() {
    const QStringList users = HostUserSettings().value(kPinnedUsersKey).toStringList();
    return QSet<QString>(users.begin(), users.end());
}

void SavePinnedUsers(const QSet<QString>& users) {
    QStringList sorted(users.begin(), users.end());
    std::sort(sorted.begin(), sorted.end()); // a stable file for the operator to read
    QSettings settings = HostUserSettings();
    settings.setValue(kPinnedUsersKey, sorted);
    settings.sync();
}
