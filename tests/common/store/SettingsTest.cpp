// SPDX-License-Identifier: GPL-3.0-or-later
// File existence and the language value read from the machine-wide settings.
#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

// Readable QStrings in failure messages (found by argument lookup).
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString kKey = QStringLiteral("SOFTWARE\\HALVORN Corporation\\TESSORA");

// A private machine-wide settings folder holding the stations' key.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_DIRS", dir.path().toLocal8Bit());
        QDir(dir.path()).mkpath("HALVORN Corporation");
    }
    void TearDown() override {
        qunsetenv("XDG_CONFIG_DIRS");
        g_strLanguage = "English";
    }
    QString File() const { return dir.filePath("HALVORN Corporation/TESSORA.conf"); }
    void WriteRaw(const QByteArray& body) const {
        // The settings library caches a file until its size or time changes; two writes
        // within one clock tick could keep both, so every write gets a size of its own.
        static qsizetype lastSize = 0;
        QByteArray text = body + ";";
        text += QByteArray(std::max<qsizetype>(0, lastSize + 1 - text.size() - 1), 'x') + "\n";
        lastSize = text.size();
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    // Written the way the settings library itself writes a typed value.
    void WriteValue(const QVariant& value) const {
        QFile::remove(File());
        QSettings settings(File(), QSettings::IniFormat);
        settings.setValue("Language", value);
        settings.sync();
    }
    static QString Language() { return GetRegistryString(HKEY_LOCAL_MACHINE, kKey, "Language"); }
    static QString ReadLanguage() {
        ReadLanguageSetting();
        return g_strLanguage;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(SettingsStore, MissingKeyOrValueGivesEmptyTextAndEnglish) {
    EXPECT_EQ(Language(), "");
    g_strLanguage = "Japanese";
    EXPECT_EQ(ReadLanguage(), "English");
    WriteRaw("[General]\nOther=Japanese\n");
    EXPECT_EQ(Language(), "");
    EXPECT_EQ(ReadLanguage(), "English");
}

TEST_F(SettingsStore, OnlyTheExactWordJapaneseSelectsJapanese) {
    struct Case {
        QByteArray line;
        QString text;
        QString language;
    };
    const std::vector<Case> cases = {
        {"Language=Japanese", "Japanese", "Japanese"},
        {"Language=English", "English", "English"},
        {"Language=japanese", "japanese", "English"},
        {"Language=JAPANESE", "JAPANESE", "English"},
        {"Language=\" Japanese\"", " Japanese", "English"},
        {"Language=\"Japanese \"", "Japanese ", "English"},
        {"Language=French", "French", "English"},
        {"Language=", "", "English"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        WriteRaw("[General]\n" + c.line + "\n");
        EXPECT_EQ(Language(), c.text);
        EXPECT_EQ(ReadLanguage(), c.language);
    }
}

TEST_F(SettingsStore, ValuesThatAreNotTextReadAsEmpty) {
    WriteValue(QByteArray("Japanese")); // bytes, not text
    EXPECT_EQ(Language(), "");
    EXPECT_EQ(ReadLanguage(), "English");
    WriteValue(QDate(2024, 1, 2)); // stored as @Variant(...)
    EXPECT_EQ(Language(), "");
    EXPECT_EQ(ReadLanguage(), "English");
    WriteValue(QStringList{"Japanese", "English"});
    EXPECT_EQ(ReadLanguage(), "English");
}

TEST_F(SettingsStore, ValuesLongerThan255BytesReadAsEmpty) {
    WriteRaw("[General]\nLanguage=" + QByteArray(255, 'J') + "\n");
    EXPECT_EQ(Language(), QString(255, 'J'));
    WriteRaw("[General]\nLanguage=" + QByteArray(256, 'J') + "\n");
    EXPECT_EQ(Language(), "");
    EXPECT_EQ(ReadLanguage(), "English");
    // The limit counts bytes of the 8-bit encoding, not characters.
    const QString wide = QString(86, QChar(0x65E5)); // 3 bytes each in UTF-8
    WriteValue(wide);
    EXPECT_EQ(Language(), "");
    WriteValue(wide.left(85));
    EXPECT_EQ(Language(), wide.left(85));
}

TEST_F(SettingsStore, OtherRootsAndKeysHaveNoValue) {
    WriteRaw("[General]\nLanguage=Japanese\n[Sub]\nLanguage=English\n");
    EXPECT_EQ(GetRegistryString(0x80000001u, kKey, "Language"), "");
    EXPECT_EQ(
        GetRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\HALVORN Corporation\\OTHER", "Language"),
        "");
    EXPECT_EQ(GetRegistryString(HKEY_LOCAL_MACHINE, kKey + "\\Sub", "Language"), "English");
}

TEST_F(SettingsStore, TheFirstConfigurationFolderThatHasTheKeyWins) {
    QTemporaryDir second;
    QDir(second.path()).mkpath("HALVORN Corporation");
    QFile f(second.filePath("HALVORN Corporation/TESSORA.conf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[General]\nLanguage=Japanese\n");
    f.close();
    qputenv("XDG_CONFIG_DIRS", (dir.path() + ":" + second.path()).toLocal8Bit());
    EXPECT_EQ(ReadLanguage(), "Japanese"); // the first has no file
    WriteRaw("[General]\nLanguage=English\n");
    EXPECT_EQ(ReadLanguage(), "English");
}

TEST(FileExists, FilesFoldersAndPatterns) {
    QTemporaryDir dir;
    SetProgramFolderForTesting(dir.path());
    const QString users = ProgramFile("TESSORAH.ini");
    EXPECT_EQ(users, QDir(dir.path()).filePath("TESSORAH.ini"));
    EXPECT_FALSE(FileExists(users));
    EXPECT_FALSE(FileExists(ProgramFile("*.ini")));
    QFile f(users);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(FileExists(users));
    EXPECT_TRUE(FileExists(ProgramFile("*.ini")));
    EXPECT_TRUE(FileExists(ProgramFile("TESSORA?.ini")));
    EXPECT_FALSE(FileExists(ProgramFile("TESSORA??.ini")));
    EXPECT_FALSE(FileExists(ProgramFile("tessorah.ini"))); // names are case-sensitive here
    EXPECT_TRUE(FileExists(dir.path()));
    QDir(dir.path()).mkdir("sub");
    EXPECT_TRUE(FileExists(ProgramFile("su*")));
    EXPECT_FALSE(FileExists(""));
    SetProgramFolderForTesting({});
    EXPECT_EQ(ProgramFolder(), QCoreApplication::applicationDirPath());
}

TEST(StationFiles, AFileThatCouldNotBeReadIsReportedOnceAndNeverReplaced) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A socket stands at the path: it exists, yet nobody reads it as a file, root included.
    const QString path = dir.filePath(QStringLiteral("TESSORAH.ini"));
    QLocalServer server;
    ASSERT_TRUE(server.listen(path));
    const TextFile read = ReadTextFile(path);
    EXPECT_TRUE(read.lines.isEmpty() && !read.opened);
    EXPECT_EQ(TakeUnreadableFiles(), QStringList{path});
    ReadTextFile(path);
    EXPECT_TRUE(TakeUnreadableFiles().isEmpty()); // reported once

    // Saving the empty list read from it must not wipe what it may hold.
    EXPECT_FALSE(WriteTextLines(path, {QStringLiteral("ID=a&PASSWORD=b&Enable=0&ConnectName=")}));
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo(path).isFile());
    // Other files are written as before.
    const QString other = dir.filePath(QStringLiteral("TESSORA-H.ini"));
    EXPECT_TRUE(WriteTextLines(other, {QStringLiteral("[Main]")}));
    EXPECT_EQ(ReadTextFile(other).lines, QStringList{QStringLiteral("[Main]")});
}
