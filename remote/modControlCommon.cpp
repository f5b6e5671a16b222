// SPDX-License-Identifier: GPL-3.0-or-later
// The remote station's connection list and last used connection, in memory and on disk.
#include "modControlCommon.h"

#include "ConnectionList.h"
#include "RecordLine.h"

std::vector<ConnectionRecord> g_udtConnections;
qint16 g_intLastConnectionIndex = -1;
QString g_strSelectItem;
EditMode g_intEditMode = EDIT_MODE_ADD;

QString FormatConnectionLine(const ConnectionRecord& r) {
    return RecordLine::Write({{"ConnectName", r.ConnectName},
                              {"Description", r.Description},
                              {"IP Address", r.IpAddress},
                              {"PortNo", r.PortNo},
                              {"UserName", r.UserName},
                              {"Password", r.Password}});
}

bool ParseConnectionLine(const QString& line, ConnectionRecord* record) {
    // Six pieces, the password last keeping any further "&"; unlike the host's user list,
    // a line short of a piece or of an "=" is refused whole.
    const RecordLine fields(line, 6);
    if (!fields.IsComplete())
        return false;
    *record = ConnectionRecord{fields.Value(0), fields.Value(1), fields.Value(2),
                               fields.Value(3), fields.Value(4), fields.Value(5)};
    return true;
}

bool LoadConnectionList() {
    return RemoteConnections().Load();
}

StoreResult SaveConnectionList() {
    return RemoteConnections().Save();
}

bool LoadSelectItem() {
    return RemoteConnections().LoadSelectItem();
}

StoreResult SaveSelectItem() {
    return RemoteConnections().SaveSelectItem();
}

void AddConnection(const ConnectionRecord& record) {
    RemoteConnections().Add(record);
}

StoreResult DeleteConnection(int position) {
    return RemoteConnections().Delete(position);
}

int FindConnection(const QString& name) {
    return RemoteConnections().Find(name);
}
