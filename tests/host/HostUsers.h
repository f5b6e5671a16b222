// SPDX-License-Identifier: GPL-3.0-or-later
// What only the host tests share: the user table, and the program name their windows carry.
#pragma once

#include "ApplicationName.h"
#include "LocalText.h"
#include "StationTestSupport.h"
#include "modHost.h"

inline testing::Environment* const kHostApplicationName =
    testing::AddGlobalTestEnvironment(new ApplicationName("TESSORA-H"));

inline void ClearUsers() {
    g_udtUsers.assign(1, UserRecord{});
    g_intUserCount = 0;
}

inline UserRecord User(const QString& name, const QString& password, qint16 disabled = 0,
                       const QString& description = {}) {
    return UserRecord{name, password, disabled, description};
}
