// SPDX-License-Identifier: GPL-3.0-or-later
// A table of the remote's stored connections and the file that keeps it, with the name of
// the connection last used: add, delete, find, load and save.
#pragma once

#include "StoreResult.h"
#include "modControlCommon.h"

#include <vector>

class ConnectionList {
public:
    // Records 0..lastIndex of `records` in the order they were added; `lastIndex` is -1 for
    // an empty list. `selectItem` is the name of the connection last used.
    ConnectionList(std::vector<ConnectionRecord>& records, qint16& lastIndex, QString& selectItem)
        : m_records(records), m_lastIndex(lastIndex), m_selectItem(selectItem) {}

    // Appends the record when every required field is non-empty and the index can grow;
    // otherwise does nothing and gives false.
    bool Add(const ConnectionRecord& record);
    // Removes the record at 1-based `position`; a position outside the list changes nothing
    // and is refused with the operator's message.
    StoreResult Delete(int position);
    // Index of the first record named exactly `name`, or -1.
    int Find(const QString& name) const;

    // Empties the list, then reads the connection list file. False when the file does not
    // exist. When the list cannot hold all of the file, its original is kept aside
    // (KeepOriginalUnlessHeld).
    bool Load();
    // Rewrites the connection list file whole; on failure the previous file is kept.
    StoreResult Save() const;
    // Reads the last used connection name. False when the settings file does not exist.
    bool LoadSelectItem();
    // Rewrites the settings file; on failure the previous file is kept.
    StoreResult SaveSelectItem() const;

private:
    std::vector<ConnectionRecord>& m_records;
    qint16& m_lastIndex;
    QString& m_selectItem;
};

// The remote's own list: g_udtConnections, g_intLastConnectionIndex and g_strSelectItem.
ConnectionList RemoteConnections();
