// SPDX-License-Identifier: GPL-3.0-or-later
// A table of the host's users and the file that keeps it: lookup by name and password,
// add, delete, load and save.
#pragma once

#include "StoreResult.h"
#include "modHost.h"

#include <vector>

class UserList {
public:
    // Users 1..count of `users`; element 0 is never used.
    UserList(std::vector<UserRecord>& users, qint16& count) : m_users(users), m_count(count) {}

    // Index of the first user whose name and password both match exactly, byte for byte
    // in the locale's encoding, or -1 (also when either text is empty).
    qint16 Find(const QString& userName, const QString& password) const;
    // Index of the first user of that name, compared as Find does, or -1 (also for an
    // empty name).
    qint16 FindByName(const QString& userName) const;
    // False for an index outside 1..count, else whether that user's flag is set.
    bool IsDisabled(qint16 index) const;

    // Appends a copy of the record. False, and nothing added, when the name or the
    // password is empty or the count cannot grow any further.
    bool Add(const UserRecord& record);
    // Removes the user at `index`; an index outside 1..count changes nothing and is
    // refused with the operator's message.
    StoreResult Delete(qint16 index);

    // Replaces the table with the users of the user list file. False when the file does
    // not exist (the table is then empty). When the table cannot hold all of the file,
    // its original is kept aside (KeepOriginalUnlessHeld).
    bool Load();
    // Rewrites the user list file from the table; on failure the previous file is kept.
    StoreResult Save() const;

private:
    UserRecord& At(int index) const { return m_users[static_cast<size_t>(index)]; }

    std::vector<UserRecord>& m_users;
    qint16& m_count;
};

// The host's own table: g_udtUsers and g_intUserCount.
UserList HostUsers();
