// SPDX-License-Identifier: GPL-3.0-or-later
// The folder a station keeps its files in, and the first start there.
#include "modHvnFileOperation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(StationFolder, FirstStartInTheDataFolderCopiesTheStationsFilesOwnerOnly) {
    constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                QFileDevice::ReadUser | QFileDevice::WriteUser;
    QTemporaryDir root;
    const QString program = root.filePath("program"), data = root.filePath("share/TESSORA/host");
    ASSERT_TRUE(QDir().mkpath(program));
    for (const char* name : {"TESSORAH.ini", "other.txt"}) {
        ASSERT_TRUE(WriteTextLines(QDir(program).filePath(name), {"from the program folder"}));
        QFile::setPermissions(QDir(program).filePath(name), kOwnerOnly | QFileDevice::ReadOther);
    }
    const QStringList names{"TESSORAH.ini", "absent.ini"};
    ASSERT_TRUE(UseStationFolder(data, program, names));
    EXPECT_EQ(QFile::permissions(data), kOwnerOnly | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    EXPECT_EQ(ReadTextFile(data + "/TESSORAH.ini").lines, QStringList{"from the program folder"});
    EXPECT_EQ(QFile::permissions(data + "/TESSORAH.ini"), kOwnerOnly);
    EXPECT_FALSE(QFile::exists(data + "/other.txt") || QFile::exists(data + "/absent.ini"));

    // Later starts keep what was saved since; a folder that cannot be made is still used.
    ASSERT_TRUE(WriteTextLines(data + "/TESSORAH.ini", {"saved since"}));
    ASSERT_TRUE(UseStationFolder(data, program, names));
    EXPECT_EQ(ReadTextFile(data + "/TESSORAH.ini").lines, QStringList{"saved since"});
    EXPECT_FALSE(UseStationFolder(program + "/other.txt/x", program, names));
    EXPECT_EQ(ProgramFolder(), program + "/other.txt/x");
    SetProgramFolderForTesting(QString());
}
