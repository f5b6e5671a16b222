// SPDX-License-Identifier: GPL-3.0-or-later
// The remote station's connection list and settings files: layout, reading, damaged input,
// safe saving, and the add and delete rules.
#include "RemoteTestSupport.h"
#include "StationFileCheck.h"
#include "modControlCommon.h"
#include "modMessage.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <sys/resource.h>

namespace {

void CompareRecords(const ConnectionRecord& a, const ConnectionRecord& b) {
    EXPECT_EQ(a.ConnectName, b.ConnectName);
    EXPECT_EQ(a.Description, b.Description);
    EXPECT_EQ(a.IpAddress, b.IpAddress);
    EXPECT_EQ(a.PortNo, b.PortNo);
    EXPECT_EQ(a.UserName, b.UserName);
    EXPECT_EQ(a.Password, b.Password);
}

} // namespace

TEST(RemoteStore, SavesTheLineLayoutWithCrLf) {
    RemoteSandbox sandbox;
    AddConnection({QStringLiteral("Office"), QString(), QStringLiteral("host.example"),
                   QStringLiteral("33550"), QStringLiteral("alice"), QStringLiteral("a&b=c")});
    AddConnection({QStringLiteral("事務所"), QStringLiteral("本社"), QStringLiteral("10.0.0.1"),
                   QStringLiteral("1024"), QStringLiteral("ボブ"), QStringLiteral("pw")});
    ASSERT_TRUE(SaveConnectionList());
    ASSERT_EQ(sandbox.Read(QStringLiteral("Connect.dat")),
              QByteArray("ConnectName=Office&Description=&IP Address=host.example&PortNo=33550"
                         "&UserName=alice&Password=a&b=c\r\n") +
                  QStringLiteral("ConnectName=事務所&Description=本社&IP Address=10.0.0.1"
                                 "&PortNo=1024&UserName=ボブ&Password=pw\r\n")
                      .toLocal8Bit());
}

TEST(RemoteStore, SavedFilesAreOwnerOnlyAndReplaceTheOldOne) {
    RemoteSandbox sandbox;
    sandbox.Write(QStringLiteral("Connect.dat"), "old contents\r\n");
    sandbox.Write(QStringLiteral("TESSORAR.ini"), "old\r\n");
    QFile::setPermissions(sandbox.File(QStringLiteral("Connect.dat")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ReadGroup | QFileDevice::ReadOther);
    AddConnection(MakeRecord(QStringLiteral("A")));
    ASSERT_TRUE(SaveConnectionList());
    ASSERT_TRUE(SaveSelectItem());
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    for (const QString& name : {QStringLiteral("Connect.dat"), QStringLiteral("TESSORAR.ini")}) {
        const QFileInfo info(sandbox.File(name));
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                            QFileDevice::ReadOther | QFileDevice::WriteOther;
        ASSERT_TRUE((info.permissions() & others) == 0) << name;
        ASSERT_TRUE((info.permissions() & ownerOnly) == ownerOnly) << name;
    }
    ASSERT_FALSE(sandbox.Read(QStringLiteral("Connect.dat")).contains("old"));
    // No temporary file is left beside them.
    ASSERT_EQ(QDir(sandbox.Path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(RemoteStore, ReloadGivesBackWhatWasSaved) {
    RemoteSandbox sandbox;
    const ConnectionRecord tricky{
        QStringLiteral("Name=with=equals"), QString(),
        QStringLiteral("192.168.0.10"),     QStringLiteral("65535"),
        QStringLiteral("ユーザー"),         QStringLiteral("&&==&Password=x&")};
    AddConnection(MakeRecord(QStringLiteral("First")));
    AddConnection(tricky);
    AddConnection(MakeRecord(QStringLiteral("First"), QStringLiteral("other")));
    ASSERT_TRUE(SaveConnectionList());
    ClearConnections();
    ASSERT_TRUE(LoadConnectionList());
    ASSERT_EQ(g_intLastConnectionIndex, qint16(2));
    ASSERT_EQ(g_udtConnections.size(), size_t(3));
    CompareRecords(g_udtConnections[0], MakeRecord(QStringLiteral("First")));
    CompareRecords(g_udtConnections[1], tricky);
    CompareRecords(g_udtConnections[2],
                   MakeRecord(QStringLiteral("First"), QStringLiteral("other")));
}

TEST(RemoteStore, ReadsFilesWrittenElsewhere) {
    RemoteSandbox sandbox;
    // Key names are not compared; bare LF line ends and a last line without one still read.
    sandbox.Write(
        QStringLiteral("Connect.dat"),
        "ConnectName=A&Description=d&IP Address=1.2.3.4&PortNo=2000&UserName=u&Password=p\r\n"
        "a=B&b=&c=h&d=3000&e=v&f=q\n"
        "ConnectName=C&Description=x=y&IP Address=h=2&PortNo=4000&UserName=w&Password=z");
    ASSERT_TRUE(LoadConnectionList());
    ASSERT_EQ(g_intLastConnectionIndex, qint16(2));
    CompareRecords(g_udtConnections[0],
                   {QStringLiteral("A"), QStringLiteral("d"), QStringLiteral("1.2.3.4"),
                    QStringLiteral("2000"), QStringLiteral("u"), QStringLiteral("p")});
    CompareRecords(g_udtConnections[1],
                   {QStringLiteral("B"), QString(), QStringLiteral("h"), QStringLiteral("3000"),
                    QStringLiteral("v"), QStringLiteral("q")});
    CompareRecords(g_udtConnections[2],
                   {QStringLiteral("C"), QStringLiteral("x=y"), QStringLiteral("h=2"),
                    QStringLiteral("4000"), QStringLiteral("w"), QStringLiteral("z")});
}

TEST(RemoteStore, DamagedLinesAreSkippedAndTheRestLoads) {
    RemoteSandbox sandbox;
    sandbox.Write(QStringLiteral("Connect.dat"),
                  "\r\n"
                  "just text\r\n"
                  "ConnectName=Short&Description=&IP Address=h&PortNo=1&UserName=u\r\n"
                  "ConnectName=NoEq&Description&IP Address=h&PortNo=1&UserName=u&Password=p\r\n"
                  "ConnectName=&Description=&IP Address=h&PortNo=1&UserName=u&Password=p\r\n"
                  "ConnectName=N&Description=&IP Address=&PortNo=1&UserName=u&Password=p\r\n"
                  "ConnectName=N&Description=&IP Address=h&PortNo=&UserName=u&Password=p\r\n"
                  "ConnectName=N&Description=&IP Address=h&PortNo=1&UserName=&Password=p\r\n"
                  "ConnectName=N&Description=&IP Address=h&PortNo=1&UserName=u&Password=\r\n"
                  "ConnectName=Good&Description=&IP Address=h&PortNo=1&UserName=u&Password=p\r\n"
                  "&&&&&\r\n"
                  "=&=&=&=&=&=\r\n");
    ASSERT_TRUE(LoadConnectionList());
    ASSERT_EQ(g_intLastConnectionIndex, qint16(0));
    ASSERT_EQ(g_udtConnections.size(), size_t(1));
    ASSERT_EQ(g_udtConnections[0].ConnectName, QStringLiteral("Good"));
}

TEST(RemoteStore, MissingFilesStartEmpty) {
    RemoteSandbox sandbox;
    AddConnection(MakeRecord(QStringLiteral("stale")));
    g_strSelectItem = QStringLiteral("stale");
    ASSERT_FALSE(LoadConnectionList());
    ASSERT_EQ(g_intLastConnectionIndex, qint16(-1));
    ASSERT_TRUE(g_udtConnections.empty());
    ASSERT_FALSE(LoadSelectItem());
    ASSERT_TRUE(g_strSelectItem.isEmpty());
}

TEST(RemoteStore, UnreadableFileIsReportedOnce) {
    RemoteSandbox sandbox(QStringLiteral("Japanese"));
    MessageBoxRecorder recorder;
    ASSERT_TRUE(QDir(sandbox.Path()).mkdir(QStringLiteral("Connect.dat")));
    ASSERT_TRUE(LoadConnectionList()); // it exists, as a folder
    ASSERT_EQ(g_intLastConnectionIndex, qint16(-1));
    ASSERT_TRUE(recorder.boxes.isEmpty()); // the language is not known yet while loading
    ReportUnreadableFiles();
    ASSERT_EQ(recorder.boxes.size(), 1);
    ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Critical);
    ASSERT_EQ(recorder.boxes[0].text, QStringLiteral("ファイル「%1」を読み込めませんでした。")
                                          .arg(sandbox.File(QStringLiteral("Connect.dat"))));
    ReportUnreadableFiles();
    ASSERT_EQ(recorder.boxes.size(), 1);
}

// Hostile connection list files: what the list shows, what is written at exit, and the original
// kept beside it byte for byte with a message naming it.
TEST(RemoteStore, HostileFilesAreShownRewrittenAndKept) {
    const StationStore store{
        kConnectionListFile, LoadConnectionList, SaveConnectionList, [] {
            const ConnectionRecord r =
                g_udtConnections.empty() ? ConnectionRecord{} : g_udtConnections.back();
            return QStringLiteral("%1: %2 %3 %4 %5 %6 %7")
                .arg(g_intLastConnectionIndex + 1)
                .arg(r.ConnectName, r.Description, r.IpAddress, r.PortNo, r.UserName, r.Password);
        }};
    const QByteArray ok =
        "ConnectName=c&Description=d&IP Address=h&PortNo=2000&UserName=u&Password=p\r\n";
    const QByteArray latin1 = "ConnectName=B\xfcro&Description=&IP Address=h&PortNo=2000"
                              "&UserName=j\xfcrgen&Password=p\xe4\xe4sswort\r\n";
    const QByteArray sjis = "ConnectName=\x93\x8c\x8b\x9e&Description=\x96\x7b\x8e\xd0"
                            "&IP Address=h&PortNo=2000&UserName=u&Password=p\r\n";
    const QString shown = QStringLiteral("1: c d h 2000 u p");
    const QString undecodable =
        QStringLiteral("bytes not in the system's character encoding (UTF-8), shown as \uFFFD: %1");
    // clang-format off
    const StationFileCase cases[] = {
        {'f', ok + "ConnectName=e&Description=&IP Address=h&PortNo=1&UserName=u&Password=a&b\r\n",
         "", "2: e  h 1 u a&b", {}, {}},
        {'f', ok.repeated(32770), "", "32768: c d h 2000 u p", ok.repeated(32768),
         "entries beyond the limit of 32768: 2"},
        {'f', "# list\r\n\r\nConnectName=x&Description=&IP Address=h&PortNo=1&UserName=u&Password="
              "\r\nbroken\r\n" + ok, "", shown, ok, "lines left out: 4"},
        {'f', "ConnectName=x&Description=a&b&IP Address=h&PortNo=1&UserName=u&Password=p\r\n" + ok,
         "", shown, ok, "lines left out: 1"},
        {'f', "a=c&b=d&c=h&d=2000&e=u&f=p\r\n", "", shown, ok, "lines written back changed: 1"},
        {'f', ok.chopped(2) + "\rq\r\n", "", shown, ok, "lines left out: 1"},
        {'f', latin1, "", QStringLiteral("1: B\uFFFDro  h 2000 j\uFFFDrgen p\uFFFD\uFFFDsswort"), {},
         undecodable.arg(4)},
        {'f', sjis, "", QStringLiteral("1: \uFFFD\uFFFD\uFFFD\uFFFD \uFFFD{\uFFFD\uFFFD h 2000 u p"), {},
         undecodable.arg(7)},
        {'p', {}, "", "0:      ", {}, {}},
        {'h', ok, "", "0:      ", {}, {}},
    };
    // clang-format on
    for (const StationFileCase& c : cases)
        ASSERT_EQ(CheckStationFile(store, c), QString());
}

TEST(RemoteStore, FailedSaveIsReportedAndKeepsTheOldFile) {
    const std::pair<QString, QString> languages[] = {
        {QStringLiteral("English"),
         QStringLiteral("The file \"%1\" could not be saved.\r\n"
                        "Check that the program's folder can be written to.")},
        {QStringLiteral("Japanese"),
         QStringLiteral("ファイル「%1」を保存できませんでした。\r\n"
                        "プログラムのフォルダーに書き込めるか確認してください。")}};
    for (const auto& [language, expected] : languages) {
        SCOPED_TRACE(language.toStdString());
        RemoteSandbox sandbox(language);
        MessageBoxRecorder recorder;
        // A folder in the way of each file: it cannot be replaced by a file.
        const QDir folder(sandbox.Path());
        ASSERT_TRUE(folder.mkpath(QStringLiteral("Connect.dat/keep")));
        ASSERT_TRUE(folder.mkpath(QStringLiteral("TESSORAR.ini/keep")));
        AddConnection(MakeRecord(QStringLiteral("A")));
        ASSERT_FALSE(SaveConnectionList());
        ASSERT_TRUE(recorder.boxes.isEmpty()); // told to the window, which shows it
        ASSERT_FALSE(ShowStoreFailure(nullptr, SaveConnectionList()));
        ASSERT_FALSE(ShowStoreFailure(nullptr, SaveSelectItem()));
        ASSERT_EQ(recorder.boxes.size(), 2);
        ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Critical);
        ASSERT_EQ(recorder.boxes[0].text,
                  expected.arg(sandbox.File(QStringLiteral("Connect.dat"))));
        ASSERT_EQ(recorder.boxes[1].text,
                  expected.arg(sandbox.File(QStringLiteral("TESSORAR.ini"))));
        ASSERT_TRUE(QFileInfo(sandbox.File(QStringLiteral("Connect.dat/keep"))).isDir());
    }
}

TEST(RemoteStore, SaveThatFailsHalfwayKeepsTheOldFile) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    sandbox.Write(QStringLiteral("Connect.dat"), "old contents\r\n");
    for (int i = 0; i < 10; ++i)
        AddConnection(MakeRecord(QString::number(i)));
    // Files may grow to 100 bytes only: the write fails when the buffered lines go out.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 100;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool ok = ShowStoreFailure(nullptr, SaveConnectionList());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_FALSE(ok);
    ASSERT_EQ(recorder.boxes.size(), 1);
    ASSERT_EQ(sandbox.Read(QStringLiteral("Connect.dat")), QByteArray("old contents\r\n"));
}

TEST(RemoteStore, SelectItemFile) {
    RemoteSandbox sandbox;
    g_strSelectItem = QStringLiteral("接続 A");
    ASSERT_TRUE(SaveSelectItem());
    ASSERT_EQ(sandbox.Read(QStringLiteral("TESSORAR.ini")),
              QStringLiteral("[INIT]\r\nSelectItem=接続 A\r\n").toLocal8Bit());
    g_strSelectItem.clear();
    ASSERT_TRUE(LoadSelectItem());
    ASSERT_EQ(g_strSelectItem, QStringLiteral("接続 A"));

    // The last matching line wins; other keys, letter case and headers are ignored.
    sandbox.Write(QStringLiteral("TESSORAR.ini"), "[INIT]\r\nSelectItem=one\r\n"
                                                  "selectitem=lower\r\nSelectItem\r\n"
                                                  "[Other]\r\nSelectItem=two\r\nX=y\r\n");
    ASSERT_TRUE(LoadSelectItem());
    ASSERT_EQ(g_strSelectItem, QStringLiteral("two"));

    // A name holding "=" is saved whole but reads back only up to it.
    g_strSelectItem = QStringLiteral("a=b");
    ASSERT_TRUE(SaveSelectItem());
    ASSERT_EQ(sandbox.Read(QStringLiteral("TESSORAR.ini")),
              QByteArray("[INIT]\r\nSelectItem=a=b\r\n"));
    ASSERT_TRUE(LoadSelectItem());
    ASSERT_EQ(g_strSelectItem, QStringLiteral("a"));

    sandbox.Write(QStringLiteral("TESSORAR.ini"), "[INIT]\r\n");
    ASSERT_TRUE(LoadSelectItem());
    ASSERT_TRUE(g_strSelectItem.isEmpty());
}

TEST(RemoteStore, AddConnectionNeedsEveryRequiredField) {
    // Only the description may be empty.
    for (int emptyField = 0; emptyField < 6; ++emptyField) {
        SCOPED_TRACE(emptyField);
        const bool added = emptyField == 1;
        RemoteSandbox sandbox;
        AddConnection(MakeRecord(QStringLiteral("before")));
        ConnectionRecord r = MakeRecord(QStringLiteral("new"));
        QString* fields[] = {&r.ConnectName, &r.Description, &r.IpAddress,
                             &r.PortNo,      &r.UserName,    &r.Password};
        fields[emptyField]->clear();
        AddConnection(r);
        ASSERT_EQ(g_intLastConnectionIndex, qint16(added ? 1 : 0));
        ASSERT_EQ(g_udtConnections.size(), size_t(added ? 2 : 1));
        if (added)
            CompareRecords(g_udtConnections[1], r);
    }
}

TEST(RemoteStore, AddStopsAtTheTopOfTheIndex) {
    RemoteSandbox sandbox;
    constexpr int top = std::numeric_limits<qint16>::max();
    for (int i = 0; i <= top; ++i)
        AddConnection(MakeRecord(QString::number(i)));
    ASSERT_EQ(g_intLastConnectionIndex, qint16(top));
    AddConnection(MakeRecord(QStringLiteral("one too many")));
    ASSERT_EQ(g_intLastConnectionIndex, qint16(top));
    ASSERT_EQ(g_udtConnections.size(), size_t(top) + 1);
    ASSERT_EQ(g_udtConnections.back().ConnectName, QString::number(top));
}

TEST(RemoteStore, DeleteMovesLaterRecordsDown) {
    RemoteSandbox sandbox;
    for (const char* name : {"a", "b", "c", "d"})
        AddConnection(MakeRecord(QString::fromLatin1(name)));
    ASSERT_TRUE(DeleteConnection(2));
    ASSERT_EQ(g_intLastConnectionIndex, qint16(2));
    ASSERT_EQ(g_udtConnections.size(), size_t(3));
    ASSERT_EQ(g_udtConnections[0].ConnectName, QStringLiteral("a"));
    ASSERT_EQ(g_udtConnections[1].ConnectName, QStringLiteral("c"));
    ASSERT_EQ(g_udtConnections[2].ConnectName, QStringLiteral("d"));
    ASSERT_TRUE(DeleteConnection(3));
    ASSERT_EQ(g_udtConnections.back().ConnectName, QStringLiteral("c"));
}

TEST(RemoteStore, DeleteRefusesPositionsOutsideTheList) {
    const QString en = QStringLiteral("The entered value is not correct.");
    const QString ja = QStringLiteral("入力された値が正しくありません。");
    const std::tuple<int, QString, QString> cases[] = {
        {4, QStringLiteral("English"), en},     // past the end
        {0, QStringLiteral("English"), en},     // zero
        {-1, QStringLiteral("Japanese"), ja},   // negative
        {40000, QStringLiteral("Japanese"), ja} // far past the end
    };
    for (const auto& [position, language, expected] : cases) {
        SCOPED_TRACE(position);
        RemoteSandbox sandbox(language);
        MessageBoxRecorder recorder;
        for (const char* name : {"a", "b", "c"})
            AddConnection(MakeRecord(QString::fromLatin1(name)));
        ASSERT_FALSE(ShowStoreFailure(nullptr, DeleteConnection(position)));
        ASSERT_EQ(g_intLastConnectionIndex, qint16(2));
        ASSERT_EQ(g_udtConnections.size(), size_t(3));
        ASSERT_EQ(recorder.boxes.size(), 1);
        ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Critical);
        ASSERT_EQ(recorder.boxes[0].title, QStringLiteral("TESSORA-R"));
        ASSERT_EQ(recorder.boxes[0].text, expected);
    }
}

TEST(RemoteStore, DeletingTheOnlyRecordSavesAnEmptyFile) {
    RemoteSandbox sandbox;
    AddConnection(MakeRecord(QStringLiteral("only")));
    ASSERT_TRUE(SaveConnectionList());
    ASSERT_TRUE(DeleteConnection(1));
    ASSERT_EQ(g_intLastConnectionIndex, qint16(-1));
    ASSERT_TRUE(g_udtConnections.empty());
    ASSERT_TRUE(SaveConnectionList());
    ASSERT_TRUE(QFileInfo::exists(sandbox.File(QStringLiteral("Connect.dat"))));
    ASSERT_EQ(sandbox.Read(QStringLiteral("Connect.dat")), QByteArray());
    ASSERT_TRUE(LoadConnectionList());
    ASSERT_EQ(g_intLastConnectionIndex, qint16(-1));
}

TEST(RemoteStore, FindTakesTheFirstExactName) {
    RemoteSandbox sandbox;
    AddConnection(MakeRecord(QStringLiteral("Home")));
    AddConnection(MakeRecord(QStringLiteral("home")));
    AddConnection(MakeRecord(QStringLiteral("home"), QStringLiteral("second")));
    ASSERT_EQ(FindConnection(QStringLiteral("home")), 1);
    ASSERT_EQ(FindConnection(QStringLiteral("Home")), 0);
    ASSERT_EQ(FindConnection(QStringLiteral("HOME")), -1);
    ASSERT_EQ(FindConnection(QString()), -1);
}
