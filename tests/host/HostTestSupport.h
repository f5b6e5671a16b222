// What only the host tests share: the user table, readable failure messages,
// and the GoogleTest main that drives widgets.
#pragma once

#include "LocalText.h"
#include "StationTestSupport.h"
#include "modHost.h"
#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QApplication>
#include <gtest/gtest.h>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
