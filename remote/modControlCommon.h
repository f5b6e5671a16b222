// SPDX-License-Identifier: GPL-3.0-or-later
// The remote station's stored connections and last used connection, and the small helpers
// every remote window uses.
#pragma once

// GetIconTitleFontName, ApplySystemFont and SelectAllText come from here: both stations
// share one system font rule.
#include "modFormCommon.h"

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
extern int g_intEditMode;
inline constexpr int EDIT_MODE_ADD = 1;
inline constexpr int EDIT_MODE_EDIT = 2;

// File names, kept in the program's folder.
inline constexpr const char* kConnectionListFile = "Connect.dat";
inline constexpr const char* kSettingsFile = "TESSORAR.ini";

// Empties the list, then reads the connection list file. False when the file does not exist.
// When the list cannot hold all of the file, its original is kept aside (KeepOriginalUnlessHeld).
bool LoadConnectionList();
// Rewrites the connection list file whole. A failure is shown to the operator and gives false.
bool SaveConnectionList();
// Reads the last used connection name. False when the settings file does not exist.
bool LoadSelectItem();
// Rewrites the settings file. A failure is shown to the operator and gives false.
bool SaveSelectItem();


// Appends the record when every required field is non-empty; otherwise does nothing.
void AddConnection(const ConnectionRecord& record);
// Removes the record at 1-based `position`; a position outside the list is refused with a
// message and gives false.
bool DeleteConnection(int position);

// One line of the connection list file, without its line end.
QString FormatConnectionLine(const ConnectionRecord& record);
// Reads one line of the connection list file. False for a damaged line: fewer than six
// pieces, or a piece without "=".
bool ParseConnectionLine(const QString& line, ConnectionRecord* record);

// Index of the first record named exactly `name`, or -1.
int FindConnection(const QString& name);
