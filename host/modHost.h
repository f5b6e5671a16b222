// SPDX-License-Identifier: GPL-3.0-or-later
// The host's user list: records, lookup by name and password, and the two
// files in the program's folder that keep the list and the listen port.
#pragma once

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

// What the detailed setup dialog is opened for: 1 add, 2 edit.
extern qint16 g_intEditMode;

inline constexpr qint16 kMaxUsers = 256;

inline constexpr const char* kUserListFileName = "TESSORAH.ini";
inline constexpr const char* kHostSettingsFileName = "TESSORA-H.ini";

// Index of the first user whose name and password both match exactly, byte
// for byte in the locale's encoding, or -1 (also when either text is empty).
qint16 FindUser(const QString& userName, const QString& password);

// Index of the first user of that name, compared as FindUser does, or -1 (also for an
// empty name). An encrypted call names its user only: this record's password is the
// one the call must prove.
qint16 FindUserByName(const QString& userName);

// False for an index outside 1..g_intUserCount, else whether that user's
// flag is set.
bool IsUserDisabled(qint16 index);

// Appends a copy of the record. False, and nothing added, when the name or
// the password is empty or the count cannot grow any further.
bool AddUser(const UserRecord& record);

// Removes the user at `index`; an index outside 1..g_intUserCount is
// reported to the operator and changes nothing.
bool DeleteUser(qint16 index);

// Replaces the table with the users of the user list file. False when the
// file does not exist (the table is then empty). When the table cannot hold
// all of the file, its original is kept aside (KeepOriginalUnlessHeld).
bool LoadUserList();

// Rewrites the user list file from the table. On failure the previous file
// is kept, the operator is told, and the result is false.
bool SaveUserList();

// Sets `listenPort` from the host settings file; false, and `listenPort`
// unchanged, when the file does not exist.
bool LoadHostSettings(QString& listenPort);

// Rewrites the host settings file. On failure the previous file is kept,
// the operator is told, and the result is false.
bool SaveHostSettings(const QString& listenPort);

// The value of one part of a file line or of a caller's user data: the text
// after the part's first "=". `found` tells whether there was an "=".
QString ValueOfPart(const QString& part, bool* found = nullptr);
