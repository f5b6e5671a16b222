// SPDX-License-Identifier: GPL-3.0-or-later
// The host on a desktop of its own (desktop-session.sh: Xvfb, a private session bus, dunst
// and, unless --no-tray, trayer): the tray icon through offline, online, a call and the
// hang-up; the call's two notifications, none while the window is in front; the lamps'
// descriptions; the autostart entry; and a desktop without a tray, where nothing changes.
#include "HostUsers.h"

#include "StartAtLogin.h"
#include "TavrinoClient.h"
#include "frmMain.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>

using namespace Tavrino;

namespace {

// English calls encrypted, Japanese the stated way: the host names its caller either way.
struct Words {
    QString offline, waiting, inCall, receiving, notReceiving, admitted, ended;
    bool encrypted = false;
};
const std::map<QString, Words> kWords = {
    {"English",
     {"Offline", "Online, waiting for calls", "In a call with alice\nEncrypted", "Receiving", "Not receiving",
      "Call admitted|User: alice",
      "Call with alice ended|Connection is disconnected by the remote station.", true}},
    {"Japanese",
     {"オフライン", "オンライン、着信待ち", "aliceと通話中\n暗号化なし", "受信中", "受信していません",
      "通話を受け付けました|ユーザー: alice",
      "aliceとの通話が終了しました|接続がリモート・ステーションから切断されました。"}},
};

QByteArray Output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return process.readAllStandardOutput() + process.readAllStandardError();
}

// What the notification server was sent, newest first, as "summary|body". Only closed
// notifications stand in its history, so the shown ones are closed first.
QStringList Notifications() {
    Output("dunstctl", {"close-all"});
    QStringList sent;
    const QJsonDocument history = QJsonDocument::fromJson(Output("dunstctl", {"history"}));
    for (const QJsonValue n : history["data"][0].toArray())
        sent << n["summary"]["data"].toString() + '|' + n["body"]["data"].toString();
    return sent;
}

class HostDesktop : public ::testing::TestWithParam<const char*> {
protected:
    void Start(const QString& language, int port) {
        ClearUsers();
        m_language = std::make_unique<LanguageSetting>(language);
        folder.Write(kUserListFileName, "ID=alice&PASSWORD=pw&Enable=0&ConnectName=desk\r\n");
        folder.Write(kHostSettingsFileName, "[Main]\r\nListenPortNo=" + QByteArray::number(port) + "\r\n");
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Form_Load());
    }
    template <typename T = QAction> T* Part(const char* name) { return Find<T>(form.get(), name); }
    QString Tip() { return Part<QSystemTrayIcon>("trayIcon")->toolTip(); }
    bool TipSays(const QString& state) {
        return WaitFor([&] { return Tip() == "TESSORA-H\n" + state; }, 5000);
    }

    // A remote station's control calls the host as alice, talks a while, and hangs up.
    void Call(int port, const Words& words) {
        TavrinoClient caller;
        ASSERT_TRUE(caller.Load());
        ASSERT_TRUE(caller.CallBool(DISPID_INITIALIZE, {0, QStringLiteral("k")}));
        if (words.encrypted)
            ASSERT_TRUE(caller.CallBool(DISPID_CONNECT_SECURE,
                                        {QStringLiteral("127.0.0.1"), port, QStringLiteral("alice"),
                                         QStringLiteral("pw"), 20, QString()}));
        else
            ASSERT_TRUE(caller.CallBool(DISPID_CONNECT, {QStringLiteral("127.0.0.1"), port,
                                                         QStringLiteral("ID=alice&Password=pw"), 20}));
        EXPECT_TRUE(TipSays(words.inCall)) << Tip().toStdString();
        auto* rx = Part<QLabel>("picRxBlack");
        EXPECT_TRUE(WaitFor([&] { return rx->accessibleDescription() == words.receiving; }, 5000));
        caller.CallBool(DISPID_DISCONNECT);
        caller.CallVoid(DISPID_UNINITIALIZE);
        EXPECT_TRUE(TipSays(words.waiting)) << Tip().toStdString();
        EXPECT_TRUE(WaitFor([&] { return rx->accessibleDescription() == words.notReceiving; }, 5000));
    }

    TestFolder folder;
    MessageBoxRecorder boxes;
    std::unique_ptr<LanguageSetting> m_language;
    std::unique_ptr<frmMain> form; // last: it goes before its folder and language
};

} // namespace

TEST_P(HostDesktop, TheTrayIconAndTheNotificationsFollowTheCalls) {
    const int port = FreePort();
    const Words& words = kWords.at(GetParam());
    Start(GetParam(), port);
    form->ShowWindowAtStart(false);
    auto* icon = Part<QSystemTrayIcon>("trayIcon");
    ASSERT_TRUE(WaitFor([icon] { return icon->isSystemTrayAvailable() && icon->isVisible(); }, 10000));
    EXPECT_TRUE(TipSays(words.offline));
    Part<QPushButton>("chkOnline")->click();
    EXPECT_TRUE(TipSays(words.waiting));

    // In front, the window shows the call itself: nothing is notified.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const QStringList before = Notifications();
    Call(port, words);
    EXPECT_EQ(Notifications(), before);

    // Hidden in the tray, the admission and the end are told.
    Part("cmsTrayShowWindow")->trigger();
    EXPECT_FALSE(form->isVisible());
    Call(port, words);
    EXPECT_TRUE(WaitFor([&] { return Notifications().size() >= before.size() + 2; }, 5000));
    EXPECT_EQ(Notifications().mid(0, 2), QStringList({words.ended, words.admitted}));

    Part<QPushButton>("chkOnline")->click();
    EXPECT_TRUE(TipSays(words.offline));
    Part("cmsTrayShowWindow")->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, HostDesktop, ::testing::Values("English", "Japanese"));

TEST_F(HostDesktop, StartAtLoginWritesAValidAutostartEntryAndRemovesIt) {
    Start("English", FreePort());
    auto* item = Part("mnuRunStartAtLogin");
    const QString entry = StartAtLogin::EntryPath();
    ASSERT_TRUE(entry.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME"))) << "the user's own entries";
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(Output("desktop-file-validate", {entry}), QByteArray()) << "no complaint";
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(
        "\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" --online --tray\n"));
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(QFile::exists(entry));
}

// Run by desktop-session.sh --no-tray.
TEST_F(HostDesktop, NoTrayLeavesTheWindowAsItIs) {
    Start("English", FreePort());
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    auto* hide = Part("mnuTrayHideWindow");
    hide->setChecked(true);
    form->ShowWindowAtStart(true); // as --tray asks
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_FALSE(hide->isVisible()) << "no tray option in the Run menu";
    form->showMinimized();
    QTest::qWait(300);
    EXPECT_TRUE(form->isVisible()) << "minimised, not hidden";
}
