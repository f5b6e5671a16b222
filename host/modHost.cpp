// SPDX-License-Identifier: GPL-3.0-or-later
// The host's user list: records, lookup by name and password, and the two
// files in the program's folder that keep the list and the listen port.
#include "modHost.h"

#include "UserList.h"
#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"

std::vector<UserRecord> g_udtUsers(1);
qint16 g_intUserCount = 0;
EditMode g_intEditMode = EditMode{};

qint16 FindUser(const QString& userName, const QString& password) {
    return HostUsers().Find(userName, password);
}

qint16 FindUserByName(const QString& userName) {
    return HostUsers().FindByName(userName);
}

bool IsUserDisabled(qint16 index) {
    return HostUsers().IsDisabled(index);
}

bool AddUser(const UserRecord& record) {
    return HostUsers().Add(record);
}

StoreResult DeleteUser(qint16 index) {
    return HostUsers().Delete(index);
}

bool LoadUserList() {
    return HostUsers().Load();
}

StoreResult SaveUserList() {
    return HostUsers().Save();
}

bool LoadHostSettings(QString& listenPort) {
    return ReadSettingValue(ProgramFile(QString::fromLatin1(kHostSettingsFileName)),
                            QStringLiteral("[Main]"), QStringLiteral("ListenPortNo"), listenPort);
}

StoreResult SaveHostSettings(const QString& listenPort) {
    return SaveHostFile(QString::fromLatin1(kHostSettingsFileName),
                        {QStringLiteral("[Main]"), QStringLiteral("ListenPortNo=") + listenPort});
}

StoreResult SaveHostFile(const QString& fileName, const QStringList& lines) {
    return SaveStationFile(ProgramFile(fileName), lines,
                           Tr(QStringLiteral("Its previous contents have been kept."),
                              QStringLiteral("以前の内容はそのまま残っています。")));
}
