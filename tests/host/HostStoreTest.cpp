// SPDX-License-Identifier: GPL-3.0-or-later
// The user list store: lookup, add and delete, and the two files with their
// layouts, damaged contents and failed saves.
#include "HostUsers.h"
#include "StationFileCheck.h"

#include <QFileInfo>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <random>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Makes a folder refuse new entries, also for root: immutable where the
// file system allows it, else read-only.
class LockedFolder {
public:
    explicit LockedFolder(const QString& path) : m_path(path.toLocal8Bit()) {
        if (geteuid() == 0) {
            m_immutable = SetImmutable(true);
            m_locked = m_immutable;
        } else {
            m_locked = ::chmod(m_path.constData(), 0500) == 0;
        }
    }
    ~LockedFolder() {
        if (m_immutable)
            SetImmutable(false);
        else if (m_locked)
            ::chmod(m_path.constData(), 0700);
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    bool IsLocked() const { return m_locked; }

private:
    bool SetImmutable(bool on) {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    QByteArray m_path;
    bool m_locked = false;
    bool m_immutable = false;
};

// Files may grow to at most `bytes` while it lives; writing past it fails.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

class HostStore : public ::testing::Test {
protected:
    void SetUp() override { ClearUsers(); }
    void TearDown() override { ClearUsers(); }

    void LoadFile(const QByteArray& bytes) {
        folder.Write(QString::fromLatin1(kUserListFileName), bytes);
        ASSERT_TRUE(LoadUserList());
    }

    TestFolder folder;
    MessageBoxRecorder boxes;
};

} // namespace

TEST_F(HostStore, FindUserMatchesNameAndPasswordExactlyAndFirstRecordWins) {
    ASSERT_TRUE(AddUser(User("alice", "Secret", 1)));
    ASSERT_TRUE(AddUser(User("bob", "pw")));
    ASSERT_TRUE(AddUser(User("alice", "Secret", 0)));

    EXPECT_EQ(FindUser("alice", "Secret"), 1);
    EXPECT_TRUE(IsUserDisabled(FindUser("alice", "Secret"))); // the earlier record decides
    EXPECT_EQ(FindUser("bob", "pw"), 2);
    EXPECT_EQ(FindUser("Alice", "Secret"), -1);
    EXPECT_EQ(FindUser("alice", "secret"), -1);
    EXPECT_EQ(FindUser("alice ", "Secret"), -1);
    EXPECT_EQ(FindUser("", "Secret"), -1);
    EXPECT_EQ(FindUser("alice", ""), -1);
}

TEST_F(HostStore, AddUserRefusesEmptyNameOrPassword) {
    EXPECT_FALSE(AddUser(User("", "pw")));
    EXPECT_FALSE(AddUser(User("name", "")));
    EXPECT_EQ(g_intUserCount, 0);
    EXPECT_TRUE(AddUser(User("name", "pw", 0, "first")));
    EXPECT_EQ(g_intUserCount, 1);
    EXPECT_EQ(g_udtUsers.size(), 2u);
    EXPECT_EQ(g_udtUsers[1].Description, "first");
}

TEST_F(HostStore, IsUserDisabledOutsideTheTableIsFalse) {
    ASSERT_TRUE(AddUser(User("a", "1", 1)));
    EXPECT_TRUE(IsUserDisabled(1));
    EXPECT_FALSE(IsUserDisabled(2));
    EXPECT_FALSE(IsUserDisabled(0));
    EXPECT_FALSE(IsUserDisabled(-1));
}

TEST_F(HostStore, DeleteUserMovesTheFollowingUsersUp) {
    for (const char* name : {"one", "two", "three"})
        ASSERT_TRUE(AddUser(User(name, "pw")));
    EXPECT_TRUE(DeleteUser(1));
    ASSERT_EQ(g_intUserCount, 2);
    EXPECT_EQ(g_udtUsers.size(), 3u);
    EXPECT_EQ(g_udtUsers[1].UserName, "two");
    EXPECT_EQ(g_udtUsers[2].UserName, "three");
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

// The store only tells what went wrong; the window that asked shows it (ShowStoreFailure).
TEST_F(HostStore, DeleteUserRefusesIndexesOutsideTheTableWithTheMessage) {
    ASSERT_TRUE(AddUser(User("one", "pw")));
    EXPECT_FALSE(DeleteUser(7));
    EXPECT_TRUE(boxes.boxes.isEmpty());
    for (qint16 bad : {qint16(0), qint16(-1), qint16(2)}) {
        EXPECT_FALSE(ShowStoreFailure(nullptr, DeleteUser(bad))) << bad;
    }
    EXPECT_EQ(g_intUserCount, 1);
    ASSERT_EQ(boxes.boxes.size(), 3);
    for (const RecordedBox& box : boxes.boxes) {
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_EQ(box.title, "TESSORA-H");
        EXPECT_EQ(box.text, "The entered value is not correct.");
    }
    LanguageSetting japanese("Japanese");
    EXPECT_FALSE(ShowStoreFailure(nullptr, DeleteUser(5)));
    EXPECT_EQ(boxes.boxes.last().text, QStringLiteral("入力された値が正しくありません。"));
}

TEST_F(HostStore, MissingFilesGiveAnEmptyTableAndKeepThePort) {
    ASSERT_TRUE(AddUser(User("stale", "pw")));
    EXPECT_FALSE(LoadUserList());
    EXPECT_EQ(g_intUserCount, 0);
    QString port;
    EXPECT_FALSE(LoadHostSettings(port));
    EXPECT_TRUE(port.isEmpty());
    EXPECT_FALSE(FileExists(folder.File(kUserListFileName)));
}

TEST_F(HostStore, SavedFilesHaveTheLineLayoutCrLfAndOwnerOnlyAccess) {
    ASSERT_TRUE(AddUser(User("alice", "pw1", 0, "Front desk")));
    ASSERT_TRUE(AddUser(User("bob", "pw2", 1, "")));
    ASSERT_TRUE(SaveUserList());
    ASSERT_TRUE(SaveHostSettings("40000"));

    EXPECT_EQ(folder.Read(kUserListFileName),
              QByteArray("ID=alice&PASSWORD=pw1&Enable=0&ConnectName=Front desk\r\n"
                         "ID=bob&PASSWORD=pw2&Enable=1&ConnectName=\r\n"));
    EXPECT_EQ(folder.Read(kHostSettingsFileName), QByteArray("[Main]\r\nListenPortNo=40000\r\n"));
    for (const char* name : {kUserListFileName, kHostSettingsFileName}) {
        EXPECT_EQ(QFileInfo(folder.File(name)).permissions() &
                      (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther |
                       QFile::ExeOwner),
                  QFile::Permissions())
            << name;
    }
    EXPECT_TRUE(FileExists(folder.File(kUserListFileName)));
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(HostStore, SaveAndReloadKeepsOrderFlagsAndDescriptionsWithSeparators) {
    const QVector<UserRecord> users = {
        User("alice", "p=w", 0, "Desk & Co, key=value"),
        User("bob", "pw", 1, ""),
        User(QStringLiteral("田中"), QStringLiteral("パス"), 0, QStringLiteral("東京 & 大阪")),
        User("carol", "x", 0, "a&b&c=d"),
    };
    for (const UserRecord& u : users)
        ASSERT_TRUE(AddUser(u));
    ASSERT_TRUE(SaveUserList());
    ClearUsers();
    ASSERT_TRUE(LoadUserList());
    ASSERT_EQ(g_intUserCount, users.size());
    for (int i = 0; i < users.size(); ++i) {
        const UserRecord& got = g_udtUsers[static_cast<size_t>(i + 1)];
        EXPECT_EQ(got.UserName, users[i].UserName) << i;
        EXPECT_EQ(got.Password, users[i].Password) << i;
        EXPECT_EQ(got.Disabled, users[i].Disabled) << i;
        EXPECT_EQ(got.Description, users[i].Description) << i;
    }
}

TEST_F(HostStore, LinesLoadByPositionNotByKey) {
    LoadFile("ID=alice&PASSWORD=pw&Enable=1&ConnectName=first\r\n"
             "ConnectName=bob&Enable=secret&PASSWORD=0&ID=desc\r\n"
             "X=carol&Y=pw3&Z=0&W=third\r\n");
    ASSERT_EQ(g_intUserCount, 3);
    EXPECT_TRUE(IsUserDisabled(1));
    EXPECT_EQ(g_udtUsers[2].UserName, "bob");
    EXPECT_EQ(g_udtUsers[2].Password, "secret");
    EXPECT_EQ(g_udtUsers[2].Disabled, 0);
    EXPECT_EQ(g_udtUsers[2].Description, "desc");
    EXPECT_EQ(FindUser("carol", "pw3"), 3);
    EXPECT_FALSE(IsUserDisabled(3));
    EXPECT_EQ(g_udtUsers[3].Description, "third");
}

TEST_F(HostStore, IncompleteAndDamagedLinesNeverStopTheLoad) {
    LoadFile("ID=onlyname\r\n"
             "\r\n"
             "ID=dave&PASSWORD=pw\r\n"
             "ID=erin&PASSWORD=pw&Enable=yes&ConnectName=bad flag\r\n"
             "ID=frank&PASSWORD=pw&Enable&ConnectName=no equals\r\n"
             "garbage without separators\r\n"
             "ID=gina&PASSWORD=pw&Enable=0&ConnectName=ok\n" // a lone LF ends a line too
             "ID=hank&PASSWORD=pw&Enable=99999&ConnectName=out of range\r\n"
             "ID=ivan&PASSWORD=pw&Enable=0"); // no line end at the end of the file
    ASSERT_EQ(g_intUserCount, 6);
    EXPECT_EQ(g_udtUsers[1].UserName, "dave");
    EXPECT_FALSE(IsUserDisabled(1)); // no flag part at all: the record's default
    EXPECT_EQ(g_udtUsers[1].Description, "");
    // A flag that is present but unreadable keeps the user out.
    EXPECT_EQ(FindUser("erin", "pw"), 2);
    EXPECT_TRUE(IsUserDisabled(2));
    EXPECT_TRUE(IsUserDisabled(FindUser("frank", "pw")));
    EXPECT_FALSE(IsUserDisabled(FindUser("gina", "pw")));
    EXPECT_EQ(g_udtUsers[static_cast<size_t>(FindUser("gina", "pw"))].Description, "ok");
    EXPECT_TRUE(IsUserDisabled(FindUser("hank", "pw")));
    EXPECT_FALSE(IsUserDisabled(FindUser("ivan", "pw")));
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(HostStore, LaterLinesInheritNothingFromEarlierOnes) {
    LoadFile("ID=a&PASSWORD=1&Enable=1&ConnectName=desc a\r\n"
             "ID=b&PASSWORD=2\r\n");
    ASSERT_EQ(g_intUserCount, 2);
    EXPECT_EQ(g_udtUsers[2].Disabled, 0);
    EXPECT_EQ(g_udtUsers[2].Description, "");
}

TEST_F(HostStore, AmpersandInANameOrPasswordShiftsThePartsWithoutHarm) {
    // Lines an editor without the "&" check could have saved.
    LoadFile("ID=tom&jerry&PASSWORD=pw&Enable=0&ConnectName=x\r\n"
             "ID=sam&PASSWORD=a&b&Enable=0&ConnectName=d\r\n"
             "ID=ok&PASSWORD=pw&Enable=0&ConnectName=after\r\n");
    // "jerry" is no key=value part: no password, so the line adds nothing.
    EXPECT_EQ(FindUser("tom", "jerry"), -1);
    // The shifted flag part ("b") is unreadable: the user stays disabled.
    const qint16 sam = FindUser("sam", "a");
    ASSERT_GT(sam, 0);
    EXPECT_TRUE(IsUserDisabled(sam));
    EXPECT_EQ(g_udtUsers[static_cast<size_t>(sam)].Description, "0&ConnectName=d");
    EXPECT_EQ(FindUser("ok", "pw"), 2);
    EXPECT_EQ(g_intUserCount, 2);
}

TEST_F(HostStore, HostSettingsTakeTheLastExactListenPortLine) {
    folder.Write(kHostSettingsFileName, "[Main]\r\nListenPortNo=40000\r\n");
    QString port;
    EXPECT_TRUE(LoadHostSettings(port));
    EXPECT_EQ(port, "40000");

    folder.Write(kHostSettingsFileName, "[Main]\r\nlistenportno=41000\r\n");
    port.clear();
    EXPECT_TRUE(LoadHostSettings(port));
    EXPECT_TRUE(port.isEmpty());

    folder.Write(kHostSettingsFileName,
                 "[Main]\r\nListenPortNo\r\n\r\nListenPortNo=41000\r\nListenPortNo=42000=x\r\n");
    EXPECT_TRUE(LoadHostSettings(port));
    EXPECT_EQ(port, "42000");
    EXPECT_EQ(TakeKeptOriginals().size(), 2); // both files above were not written back whole

    folder.Write(kHostSettingsFileName, "ListenPortNo\r\n");
    port = "33551";
    EXPECT_TRUE(LoadHostSettings(port));
    EXPECT_EQ(port, "33551");
}

TEST_F(HostStore, FailedSaveKeepsThePreviousFilesAndTellsTheOperator) {
    ASSERT_TRUE(AddUser(User("alice", "pw")));
    ASSERT_TRUE(SaveUserList());
    ASSERT_TRUE(SaveHostSettings("40000"));
    const QByteArray users = folder.Read(kUserListFileName);
    const QByteArray settings = folder.Read(kHostSettingsFileName);

    ASSERT_TRUE(AddUser(User("bob", "pw")));
    {
        LockedFolder lock(folder.Path());
        if (!lock.IsLocked())
            GTEST_SKIP() << "cannot make a folder refuse writes here";
        EXPECT_FALSE(ShowStoreFailure(nullptr, SaveUserList()));
        EXPECT_FALSE(ShowStoreFailure(nullptr, SaveHostSettings("41000")));
    }
    EXPECT_EQ(folder.Read(kUserListFileName), users);
    EXPECT_EQ(folder.Read(kHostSettingsFileName), settings);
    ASSERT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.boxes[0].title, "TESSORA-H");
    EXPECT_TRUE(boxes.boxes[0].text.contains(folder.File(kUserListFileName)));
    EXPECT_TRUE(boxes.boxes[0].text.startsWith("The file"));
    EXPECT_TRUE(boxes.boxes[1].text.contains(folder.File(kHostSettingsFileName)));
}

TEST_F(HostStore, SaveThatFailsHalfwayKeepsThePreviousFileInJapanese) {
    ASSERT_TRUE(AddUser(User("alice", "pw")));
    ASSERT_TRUE(SaveUserList());
    const QByteArray before = folder.Read(kUserListFileName);
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(AddUser(User(QStringLiteral("user%1").arg(i), "password")));

    LanguageSetting japanese("Japanese");
    {
        FileSizeLimit limit(1024); // the new list needs about 10 kB
        EXPECT_FALSE(ShowStoreFailure(nullptr, SaveUserList()));
    }
    EXPECT_EQ(folder.Read(kUserListFileName), before);
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("ファイル「")));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files).size(), 1);
}

TEST_F(HostStore, EmptyTableSavesAnEmptyFile) {
    folder.Write(kUserListFileName, "ID=old&PASSWORD=pw&Enable=0&ConnectName=\r\n");
    ASSERT_TRUE(SaveUserList());
    EXPECT_TRUE(FileExists(folder.File(kUserListFileName)));
    EXPECT_TRUE(folder.Read(kUserListFileName).isEmpty());
}

TEST_F(HostStore, AFullSixteenBitTableIsSearchedAndSavedToItsLastUser) {
    QByteArray bytes;
    for (int i = 1; i <= 32767; ++i)
        bytes += "ID=u" + QByteArray::number(i) + "&PASSWORD=pw&Enable=0&ConnectName=\r\n";
    LoadFile(bytes);
    ASSERT_EQ(g_intUserCount, 32767);
    EXPECT_EQ(FindUser("u32767", "pw"), 32767);
    EXPECT_EQ(FindUser("nobody", "pw"), -1);
    ASSERT_TRUE(SaveUserList());
    EXPECT_EQ(folder.Read(kUserListFileName), bytes);
}

// Hostile user list files: what the table shows, what is written at exit, and
// the original kept beside it byte for byte with a message naming it.
TEST_F(HostStore, HostileFilesAreShownRewrittenAndKeptByteForByte) {
    const StationStore store{kUserListFileName, LoadUserList, SaveUserList, [] {
                                 const UserRecord& u = g_udtUsers.back();
                                 return QStringLiteral("%1: %2 %3 %4 %5")
                                     .arg(g_intUserCount)
                                     .arg(u.UserName, u.Password, QString::number(u.Disabled),
                                          u.Description);
                             }};
    const QByteArray ok = "ID=ok&PASSWORD=pw&Enable=0&ConnectName=d\r\n";
    const QByteArray full = ok.repeated(32767);
    const QByteArray latin1 = "ID=k\xe4the&PASSWORD=p\xe4\xe4sswort&Enable=0&ConnectName=\r\n";
    const QByteArray sjis =
        "ID=\x93\x63\x92\x86&PASSWORD=pw&Enable=1&ConnectName=\x93\x8c\x8b\x9e\r\n";
    const QString undecodable =
        QStringLiteral("bytes not in the system's character encoding (UTF-8), shown as \uFFFD: %1");
    // clang-format off
    const StationFileCase cases[] = {
        {'f', ok + "ID=b&PASSWORD=p&Enable=1&ConnectName=a&b=c\r\n", "", "2: b p 1 a&b=c", {}, {}},
        {'f', full + ok + ok, "", "32767: ok pw 0 d", full, "entries beyond the limit of 32767: 2"},
        {'f', "# users\r\n; old\r\n\r\nID=x&PASSWORD=&Enable=0&ConnectName=\r\nID=y\r\n" + ok, "",
         "1: ok pw 0 d", ok, "lines left out: 5"},
        {'f', "id=a&pw=b&Enable=yes\r\n", "", "1: a b 1 ", "ID=a&PASSWORD=b&Enable=1&ConnectName=\r\n",
         "lines written back changed: 1"},
        {'f', "ID=a&PASSWORD=b&Enable=0&ConnectName=x\ry\r\n", "", "1: a b 0 x",
         "ID=a&PASSWORD=b&Enable=0&ConnectName=x\r\n", "lines left out: 1"},
        {'f', latin1, "", QStringLiteral("1: k\uFFFDthe p\uFFFD\uFFFDsswort 0 "), {}, undecodable.arg(3)},
        {'f', latin1, "ISO-8859-1", QStringLiteral("1: käthe päässwort 0 "), {}, {}},
        {'f', sjis, "", QStringLiteral("1: \uFFFDc\uFFFD\uFFFD pw 1 \uFFFD\uFFFD\uFFFD\uFFFD"), {},
         undecodable.arg(7)},
        {'f', sjis, "SHIFT_JIS", QStringLiteral("1: 田中 pw 1 東京"), {}, {}},
        {'p', {}, "", "0:   0 ", {}, {}},
        {'h', ok, "", "0:   0 ", {}, {}},
    };
    // clang-format on
    for (const StationFileCase& c : cases)
        EXPECT_EQ(CheckStationFile(store, c), QString()) << c.shown.toStdString();
}

// Random valid lists in several encodings are written back byte for byte.
TEST_F(HostStore, RandomValidListsComeBackByteForByte) {
    std::mt19937 random(1207);
    auto field = [&random](const char* refused) {
        QByteArray bytes = QByteArray::number(int(random() % 10)); // never empty
        while (random() % 40)
            if (const char c = char(random()); !QByteArray(refused).contains(c))
                bytes += c;
        return bytes;
    };
    for (const char* encoding : {"UTF-8", "ISO-8859-1", "SHIFT_JIS", "EUC-JP", "CP932"}) {
        Tavrino::SetLocalTextEncodingForTesting(encoding);
        QByteArray file;
        for (int i = 0; i < 300; ++i)
            file += "ID=" + field("&\r\n") + "&PASSWORD=" + field("&\r\n") +
                    "&Enable=" + QByteArray::number(i % 2) + "&ConnectName=" + field("\r\n") +
                    "\r\n";
        LoadFile(file);
        ASSERT_TRUE(g_intUserCount == 300 && SaveUserList()) << encoding;
        EXPECT_EQ(folder.Read(kUserListFileName), file) << encoding;
    }
    Tavrino::SetLocalTextEncodingForTesting({});
}
