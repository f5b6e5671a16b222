// SPDX-License-Identifier: GPL-3.0-or-later
// The host's user list: records, lookup by name and password, and the two
// files in the program's folder that keep the list and the listen port.
#pragma once

#include "EditMode.h"
#include "StoreResult.h"

#include <QString>

#include <vector>

struct UserRecord {
    QString UserName;
    QString Password;
    qint16 Disabled = 0; // 0 may call, 1 disabled
    QString Description;
};

// Users 1..g_intUserCount; element 0 is never used, so a user's index is
// its 1-based position in the list views as well.
extern std::vector<UserRecord> g_udtUsers;
extern qint16 g_intUserCount;

// What the detailed setup dialog is opened for; neither until the setup window first sets it.
extern EditMode g_intEditMode;

inline constexpr qint16 kMaxUsers = 256;

inline constexpr const char* kUserListFileName = "TESSORAH.ini";
inline constexpr const char* kHostSettingsFileName = "TESSORA-H.ini";

// The user list's operations on g_udtUsers and g_intUserCount, as UserList (UserList.h)
// describes them.
qint16 FindUser(const QString& userName, const QString& password);
qint16 FindUserByName(const QString& userName);
bool IsUserDisabled(qint16 index);
bool AddUser(const UserRecord& record);
StoreResult DeleteUser(qint16 index);
bool LoadUserList();
StoreResult SaveUserList();

// Sets `listenPort` from the host settings file; false, and `listenPort`
// unchanged, when the file does not exist.
bool LoadHostSettings(QString& listenPort);

// Rewrites the host settings file; on failure the previous file is kept.
StoreResult SaveHostSettings(const QString& listenPort);

// Rewrites a file of the program's folder whole; a failure keeps the previous contents and
// says so in the host's words.
StoreResult SaveHostFile(const QString& fileName, const QStringList& lines);
