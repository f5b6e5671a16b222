// SPDX-License-Identifier: GPL-3.0-or-later
// The language setting, read from the machine-wide settings store that an
// installation writes. The programs only ever read it.
#pragma once

#include <QString>

// Root keys, kept for the shape of the call; only the machine-wide root has
// a store here.
inline constexpr quint32 HKEY_LOCAL_MACHINE = 0x80000002u;

// The text of `valueName` under `subKey` (for instance
// "SOFTWARE\\HALVORN Corporation\\TESSORA"), or an empty string when the key
// or value is missing, is not text, or is longer than 255 bytes.
QString GetRegistryString(quint32 rootKey, const QString& subKey, const QString& valueName);

// "English" or "Japanese", for the whole run.
extern QString g_strLanguage;

// Sets g_strLanguage: "Japanese" exactly gives Japanese, anything else English.
void ReadLanguageSetting();

// Picks the wording of the active language. A copy, as callers pass temporaries.
inline QString Tr(const QString& english, const QString& japanese) {
    return g_strLanguage == QLatin1String("Japanese") ? japanese : english;
}
