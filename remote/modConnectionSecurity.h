// SPDX-License-Identifier: GPL-3.0-or-later
// Each stored connection's choices about encrypted calls, kept in the user's own
// configuration ("HALVORN Corporation/TESSORA-R.conf" under $XDG_CONFIG_HOME), never in
// Connect.dat, whose layout older stations read too. Keyed by the connection's name,
// which editing never changes.
#pragma once

#include <QString>

struct ConnectionSecurity {
    // "Allow unencrypted calls (older hosts)": off, only encrypted requests ever leave.
    bool allowUnencrypted = false;
    // The host once answered an encrypted request: the connection never falls back,
    // allowed or not, until the operator clears the pin.
    bool pinned = false;
};

ConnectionSecurity LoadConnectionSecurity(const QString& connectName);
void SetAllowUnencrypted(const QString& connectName, bool allow);
void SetPinned(const QString& connectName, bool pinned);

// The stated user data of a call that may fall back, or "" when it may not.
QString FallbackUserData(const ConnectionSecurity& security, bool allowedForRun,
                         const QString& userName, const QString& password);
