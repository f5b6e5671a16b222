// The folder a station keeps its files in, and the first start there.
#include "modHvnFileOperation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr QFileDevice::Permissions kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

TEST(StationFolder, FirstStartInTheDataFolderCopiesTheProgramFoldersFilesOwnerOnly) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString program = root.filePath(QStringLiteral("program"));
    const QString data = root.filePath(QStringLiteral("share/TESSORA/host"));
    ASSERT_TRUE(QDir().mkpath(program));
    Write(program + QStringLiteral("/TESSORAH.ini"), "users\r\n");
    Write(program + QStringLiteral("/TESSORA-H.ini"), "33550\r\n");
    Write(program + QStringLiteral("/other.txt"), "not ours\r\n");
    const QStringList names{QStringLiteral("TESSORAH.ini"), QStringLiteral("TESSORA-H.ini"),
                            QStringLiteral("absent.ini")};

    ASSERT_TRUE(UseStationFolder(data, program, names));
    EXPECT_EQ(ProgramFolder(), data);
    EXPECT_EQ(QFileInfo(data).permissions(),
              kOwnerFile | QFileDevice::ExeOwner | QFileDevice::ReadUser |
                  QFileDevice::WriteUser | QFileDevice::ExeUser);
    EXPECT_EQ(Read(data + QStringLiteral("/TESSORAH.ini")), "users\r\n");
    EXPECT_EQ(QFileInfo(data + QStringLiteral("/TESSORA-H.ini")).permissions(),
              kOwnerFile | QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_FALSE(QFileInfo::exists(data + QStringLiteral("/other.txt")));
    EXPECT_FALSE(QFileInfo::exists(data + QStringLiteral("/absent.ini")));

    // Later starts keep what the user saved there.
    Write(data + QStringLiteral("/TESSORAH.ini"), "saved since\r\n");
    ASSERT_TRUE(UseStationFolder(data, program, names));
    EXPECT_EQ(Read(data + QStringLiteral("/TESSORAH.ini")), "saved since\r\n");

    // A portable install keeps its files where they are.
    ASSERT_TRUE(UseStationFolder(program, program, names));
    EXPECT_EQ(ProgramFile(QStringLiteral("TESSORAH.ini")), program + QStringLiteral("/TESSORAH.ini"));

    // A folder that cannot be made is still the one named, so saving fails visibly there.
    EXPECT_FALSE(UseStationFolder(program + QStringLiteral("/other.txt/x"), program, names));
    EXPECT_EQ(ProgramFolder(), program + QStringLiteral("/other.txt/x"));
    SetProgramFolderForTesting(QString());
}
