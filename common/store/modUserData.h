// SPDX-License-Identifier: GPL-3.0-or-later
// The credentials a caller sends with its call request: "ID=" + user name +
// "&Password=" + password, nothing escaped. Built by the remote, read by the host.
#pragma once

#include <QString>

// The user data for a call. A user name holding "&" cannot be read back (the
// stores refuse it); a password may hold both "&" and "=".
QString BuildUserData(const QString& userName, const QString& password);

// Splits user data at its first "&": the user name is the text after the
// first "=" before it, the password everything after the first "=" behind it.
// The key names are not examined. False, both outputs empty, for data without
// an "&" or with a part that has no "=".
bool ParseUserData(const QString& userData, QString* userName, QString* password);
