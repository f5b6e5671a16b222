// SPDX-License-Identifier: GPL-3.0-or-later
// The remote station's stored connections and last used connection, and the small helpers
// every remote window uses.
#pragma once

// GetIconTitleFontName, ApplySystemFont and SelectAllText come from here: both stations
// share one system font rule.
#include "modFormCommon.h"

#include "EditMode.h"
#include "StoreResult.h"

#include <QString>

#include <vector>

// One stored connection. Every field but Description is required.
struct ConnectionRecord {
    QString ConnectName;
    QString Description;
    QString IpAddress;
    QString PortNo;
    QString UserName;
    QString Password;
};

// The connection list in the order the records were added; record i is list position i + 1.
extern std::vector<ConnectionRecord> g_udtConnections;
// Highest used index, -1 when the list is empty.
extern qint16 g_intLastConnectionIndex;
// Name of the last used connection, empty when none.
extern QString g_strSelectItem;
// Mode of the detailed setup dialog, set before each show.
extern EditMode g_intEditMode;

// File names, kept in the program's folder.
inline constexpr const char* kConnectionListFile = "Connect.dat";
inline constexpr const char* kSettingsFile = "TESSORAR.ini";

// The connection list's operations on g_udtConnections, g_intLastConnectionIndex and
// g_strSelectItem, as ConnectionList (ConnectionList.h) describes them.
bool LoadConnectionList();
StoreResult SaveConnectionList();
bool LoadSelectItem();
StoreResult SaveSelectItem();
void AddConnection(const ConnectionRecord& record);
StoreResult DeleteConnection(int position);
int FindConnection(const QString& name);

// One line of the connection list file, without its line end.
QString FormatConnectionLine(const ConnectionRecord& record);
// Reads one line of the connection list file. False for a damaged line: fewer than six
// pieces, or a piece without "=".
bool ParseConnectionLine(const QString& line, ConnectionRecord* record);
