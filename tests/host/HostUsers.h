// What only the host tests share: the user table and the GoogleTest main that
// drives widgets.
#pragma once

#include "LocalText.h"
#include "NoProxy.h"
#include "StationTestSupport.h"
#include "modHost.h"

#include <QApplication>
#include <gtest/gtest.h>

inline void ClearUsers() {
    g_udtUsers.assign(1, UserRecord{});
    g_intUserCount = 0;
}

inline UserRecord User(const QString& name, const QString& password, qint16 disabled = 0,
                       const QString& description = {}) {
    return UserRecord{name, password, disabled, description};
}

// A QApplication for GoogleTest executables that drive widgets.
inline int RunHostTests(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSORA-H"));
    UseNoProxy();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
