// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's own options of a station, kept in the user's configuration
// ("HALVORN Corporation/TESSORA-H.conf" or ".../TESSORA-R.conf" under $XDG_CONFIG_HOME),
// never in the station's files.
#pragma once

#include <QSettings>
#include <QString>

// `programTitle` is "TESSORA-H" or "TESSORA-R"; `key` for instance "Tray/HideWindow".
bool UserOption(const QString& programTitle, const QString& key, bool byDefault);
void SetUserOption(const QString& programTitle, const QString& key, bool on);

// The store itself, for values other than switches.
QSettings UserSettings(const QString& programTitle);
