// SPDX-License-Identifier: GPL-3.0-or-later
// The host's main window against the real control: captions in both
// languages, the port field, going online and offline, the status table and
// its resets, the lamps, and what is saved at exit.
#include "HostUsers.h"

#include "HelpViewer.h"
#include "TavrinoClient.h"
#include "frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>

using namespace Tavrino;

namespace {

struct Caption {
    const char* name;
    QString english;
    QString japanese;
};

class HostMain : public ::testing::Test {
protected:
    void SetUp() override { ClearUsers(); }
    void TearDown() override {
        if (form)
            form->close();
        form.reset();
        ClearUsers();
    }

    // Writes the files, then loads and shows the window as the program does.
    void Start(const QString& language = "English", bool rawLanguageLine = false) {
        form.reset();
        language_.reset(); // restores English: before the new value is read
        language_ = std::make_unique<LanguageSetting>(language, rawLanguageLine);
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Form_Load())
            << "the voice control TAVRINOSTANDARD.so must be built next to the tests: "
            << boxes.Texts().join(" | ").toStdString();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void WriteUsers(const QByteArray& lines) { folder.Write(kUserListFileName, lines); }

    QLineEdit* Port() { return Find<QLineEdit>(form.get(), "txtListenPortNumber"); }
    QPushButton* Online() { return Find<QPushButton>(form.get(), "chkOnline"); }
    QCheckBox* Reject() { return Find<QCheckBox>(form.get(), "chkRejectConnectionRequest"); }
    QLabel* Label(const char* name) { return Find<QLabel>(form.get(), name); }
    TavrinoClient* Control() { return Find<TavrinoClient>(form.get(), "TavrinoStandard"); }

    // The control answers Disconnect with TRUE exactly when initialised.
    bool ControlInitialised() { return Control()->CallBool(DISPID_DISCONNECT); }

    static bool PortIsFree(int port) {
        QUdpSocket probe;
        return probe.bind(QHostAddress::AnyIPv4, static_cast<quint16>(port));
    }

    void LeavePortField() {
        Reject()->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
    }

    void EnterPortField() {
        Port()->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
    }

    void ExpectCaptions(bool japanese) {
        auto pick = [japanese](const Caption& c) { return japanese ? c.japanese : c.english; };
        EXPECT_EQ(form->windowTitle(), "TESSORA-H VoIP Program (for Host Station)");
        const QVector<Caption> menus = {
            {"mnuFile", "&File", QStringLiteral("ファイル(&F)")},
            {"mnuRun", "&Run", QStringLiteral("実行(&R)")},
            {"mnuHelp", "&Help", QStringLiteral("ヘルプ(&H)")},
        };
        for (const Caption& c : menus)
            EXPECT_EQ(Find<QMenu>(form.get(), c.name)->title(), pick(c)) << c.name;
        const QVector<Caption> actions = {
            {"mnuFileSetup", "&Setup...", QStringLiteral("設定(&S)...")},
            {"mnuFileExit", "E&xit", QStringLiteral("終了(&X)")},
            {"mnuRunOnline", "&Online", QStringLiteral("オンライン(&O)")},
            {"mnuHelpHelp", "&Help...", QStringLiteral("ヘルプ(&H)...")},
            {"mnuHelpAbout", "&About TESSORA-H...", QStringLiteral("TESSORA-Hについて(&A)...")},
        };
        for (const Caption& c : actions)
            EXPECT_EQ(Find<QAction>(form.get(), c.name)->text(), pick(c)) << c.name;
        EXPECT_TRUE(Find<QAction>(form.get(), "mnuFileLine")->isSeparator());
        EXPECT_TRUE(Find<QAction>(form.get(), "mnuHelpLine")->isSeparator());
        EXPECT_EQ(Find<QAction>(form.get(), "mnuRunOnline")->shortcut(), QKeySequence(Qt::Key_F5));
        const QVector<Caption> frames = {
            {"fraLocalSettings", "Local Settings", QStringLiteral("ローカル設定")},
            {"fraConnectedTessora_R", "Connected TESSORA-R",
             QStringLiteral("接続しているTESSORA-R")},
            {"fraVoIp", "VoIP", "VoIP"},
            {"fraConnectionStatus", "Connection Status", QStringLiteral("接続状況")},
        };
        for (const Caption& c : frames)
            EXPECT_EQ(Find<QGroupBox>(form.get(), c.name)->title(), pick(c)) << c.name;
        const QVector<Caption> labels = {
            {"lblListenPortNumber",
             "&Listen Port Number:", QStringLiteral("リッスン・ポート番号(&L):")},
            {"lblUserName", "User Name:", QStringLiteral("ユーザー名:")},
            {"lblIpAddress", "IP Address:", QStringLiteral("IPアドレス:")},
            {"lblForwardingPortNumber",
             "Forwarding Port Number:", QStringLiteral("転送先ポート番号:")},
            {"lblRx", "Rx", QStringLiteral("受信")},
            {"lblTx", "Tx", QStringLiteral("送信")},
        };
        for (const Caption& c : labels)
            EXPECT_EQ(Label(c.name)->text(), pick(c)) << c.name;
        EXPECT_EQ(Port()->toolTip(),
                  pick({"", "Listen Port Number", QStringLiteral("リッスン・ポート番号")}));
        EXPECT_EQ(Online()->text(), pick({"", "&Online", QStringLiteral("オンライン(&O)")}));
        EXPECT_EQ(Online()->toolTip(),
                  pick({"", "Click to Online", QStringLiteral("オンラインはここをクリック")}));
        EXPECT_EQ(Reject()->text(), pick({"", "Reject &Connection Request",
                                          QStringLiteral("接続要求を拒否する(&C)")}));
        EXPECT_EQ(Reject()->toolTip(),
                  pick({"", "Reject Connection Request", QStringLiteral("接続要求を拒否する")}));
    }

    TestFolder folder;
    MessageBoxRecorder boxes;
    const int onlinePort = FreePort(); // where the window goes online
    std::unique_ptr<LanguageSetting> language_;
    std::unique_ptr<frmMain> form;
};

QString NoUserMessage(bool japanese) {
    return japanese
               ? QStringLiteral("ユーザーが登録されていません。\r\nユーザーを登録してください。")
               : QStringLiteral("No user is registered.\r\nPlease register a user.");
}

QString PortMessage(bool japanese) {
    return japanese ? QStringLiteral("リッスン・ポート番号は1024-65535の範囲で設定してください。")
                    : QStringLiteral("Please set the listen port number in 1024-65535 ranges.");
}

} // namespace

TEST_F(HostMain, EnglishCaptionsForEveryLanguageValueButJapanese) {
    const QVector<QPair<QString, bool>> values = {
        {"", false}, // no value at all
        {"Language=English", true},
        {"Language=japanese", true},             // other letter case
        {"Language=\" Japanese\"", true},        // a leading blank
        {"Language=@ByteArray(Japanese)", true}, // not a text value
        {"Language=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", true},
        {"Language=" + QString(300, 'J'), true}, // longer than the store holds
    };
    for (const auto& [value, raw] : values) {
        SCOPED_TRACE(value.toStdString());
        Start(value, raw);
        EXPECT_EQ(g_strLanguage, "English");
        ExpectCaptions(false);
        Online()->click(); // no users
        ASSERT_FALSE(boxes.boxes.isEmpty());
        EXPECT_EQ(boxes.boxes.last().text, NoUserMessage(false));
        form->close();
        form.reset();
    }
}

TEST_F(HostMain, JapaneseCaptionsMessagesAndStatusTexts) {
    Start("Japanese");
    EXPECT_EQ(g_strLanguage, "Japanese");
    ExpectCaptions(true);

    Online()->click();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].text, NoUserMessage(true));
    EXPECT_EQ(boxes.boxes[0].title, "TESSORA-H");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);

    EnterPortField();
    Port()->setText("80");
    LeavePortField();
    ASSERT_EQ(boxes.boxes.size(), 2);
    EXPECT_EQ(boxes.boxes[1].text, PortMessage(true));

    emit Control()->OnStatusEvent(STATUS_CONNECTION_LOST);
    EXPECT_EQ(Label("lblConnectionStatus")->text(), QStringLiteral("接続が消失しました。"));

    AddUser(User("a", "b"));
    QTest::keyClick(form.get(), Qt::Key_F5);
    ASSERT_TRUE(Online()->isChecked()) << boxes.Texts().join(" | ").toStdString();
    EXPECT_EQ(Online()->text(), QStringLiteral("オフライン(&O)"));
    EXPECT_EQ(Online()->toolTip(), QStringLiteral("オフラインはここをクリック"));
    EXPECT_EQ(Find<QAction>(form.get(), "mnuRunOnline")->text(), QStringLiteral("オフライン(&O)"));
    QTest::keyClick(form.get(), Qt::Key_F5);
    EXPECT_EQ(Online()->text(), QStringLiteral("オンライン(&O)"));
}

TEST_F(HostMain, StartShowsThePortFromTheSettingsFileOrTheDefault) {
    Start();
    EXPECT_EQ(Port()->text(), "33550");
    EXPECT_EQ(Port()->maxLength(), 5);
    EXPECT_TRUE(Label("lblConnectionStatus")->text().isEmpty());
    EXPECT_FALSE(Online()->isChecked());
    EXPECT_TRUE(Online()->isCheckable());
    EXPECT_EQ(Online()->font().pointSize(), 16);
    EXPECT_TRUE(Online()->font().bold());
    EXPECT_EQ(Port()->font().pointSize(), 9);
    form->close();

    folder.Write(kHostSettingsFileName, "[Main]\r\nListenPortNo=40000\r\n");
    Start();
    EXPECT_EQ(Port()->text(), "40000");
    EXPECT_EQ(form->g_strListenPort, "40000");
    form->close();

    folder.Write(kHostSettingsFileName, "[Main]\r\nlistenportno=40000\r\n");
    Start();
    EXPECT_EQ(Port()->text(), "33550");
}

TEST_F(HostMain, PortFieldTakesOnlyDigitsAndBackspaceAndSelectsAllOnFocus) {
    folder.Write(kHostSettingsFileName, "[Main]\r\nListenPortNo=40000\r\n");
    Start();
    // The field is the first in the window and has the focus from the start.
    EXPECT_TRUE(Port()->hasFocus());
    EXPECT_EQ(Port()->selectedText(), "40000");
    LeavePortField();
    EXPECT_TRUE(Port()->selectedText().isEmpty());
    EnterPortField();
    EXPECT_EQ(Port()->selectedText(), "40000");
    QTest::keyClicks(Port(), "4a-1 .2x");
    EXPECT_EQ(Port()->text(), "412");
    QTest::keyClick(Port(), Qt::Key_Backspace);
    EXPECT_EQ(Port()->text(), "41");
    QTest::keyClick(Port(), Qt::Key_V, Qt::ControlModifier); // typed paste is a key too
    QKeyEvent wide(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("５"));
    QApplication::sendEvent(Port(), &wide); // a digit, but not 0 to 9
    EXPECT_EQ(Port()->text(), "41");
    QTest::keyClick(Port(), Qt::Key_Left);
    QTest::keyClick(Port(), Qt::Key_Delete);
    EXPECT_EQ(Port()->text(), "4");
}

TEST_F(HostMain, PortLeaveCheckRefusesOutsideTheRangeAndRestoresTheLastValue) {
    folder.Write(kHostSettingsFileName, "[Main]\r\nListenPortNo=40000\r\n");
    Start();
    struct Case {
        QString text;
        bool accepted;
    };
    const QVector<Case> cases = {{"1023", false},  {"1024", true}, {"65536", false},
                                 {"65535", true},  {"", false},    {"0", false},
                                 {"99999", false}, {"33550", true}};
    QString last = "40000";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        boxes.boxes.clear();
        EnterPortField();
        EXPECT_EQ(form->g_strListenPort, last);
        Port()->setText(c.text);
        LeavePortField();
        if (c.accepted) {
            EXPECT_TRUE(boxes.boxes.isEmpty());
            EXPECT_EQ(Port()->text(), c.text);
            last = c.text;
        } else {
            ASSERT_EQ(boxes.boxes.size(), 1);
            EXPECT_EQ(boxes.boxes[0].text, PortMessage(false));
            EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
            EXPECT_EQ(Port()->text(), last);
        }
    }
}

TEST_F(HostMain, GoingOnlineWithoutUsersRefusesAndRunsTheOfflineSteps) {
    Start();
    Online()->click();
    EXPECT_FALSE(Online()->isChecked());
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].text, NoUserMessage(false));
    // Disconnect and UnInitialize reached the control that was never
    // initialised: that leaves its "not initialised" error behind.
    EXPECT_EQ(Control()->CallLong(DISPID_GET_OBJECT_ERROR), ERR_NOT_INITIALIZED);
    EXPECT_TRUE(PortIsFree(onlinePort));
}

TEST_F(HostMain, F5GoesOnlineOnThePortAndBackOffline) {
    WriteUsers("ID=a&PASSWORD=b&Enable=0&ConnectName=\r\n");
    folder.Write(kHostSettingsFileName,
                 QByteArray("[Main]\r\nListenPortNo=") + QByteArray::number(onlinePort) + "\r\n");
    Start();
    QTest::keyClick(form.get(), Qt::Key_F5);
    ASSERT_TRUE(Online()->isChecked()) << boxes.Texts().join(" | ").toStdString();
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_FALSE(Port()->isEnabled());
    EXPECT_EQ(Online()->text(), "&Offline");
    EXPECT_EQ(Online()->toolTip(), "Click to Offline");
    EXPECT_EQ(Find<QAction>(form.get(), "mnuRunOnline")->text(), "&Offline");
    EXPECT_FALSE(PortIsFree(onlinePort));
    EXPECT_TRUE(ControlInitialised());

    Label("txtUserName")->setText("someone");
    Label("txtConnectedIpAddress")->setText("192.0.2.1");
    Label("txtForwardingPort")->setText("5000");
    Reject()->setEnabled(false);
    Online()->click(); // the button itself goes offline too
    EXPECT_FALSE(Online()->isChecked());
    EXPECT_TRUE(Port()->isEnabled());
    EXPECT_TRUE(Reject()->isEnabled());
    EXPECT_EQ(Online()->text(), "&Online");
    EXPECT_EQ(Online()->toolTip(), "Click to Online");
    EXPECT_EQ(Find<QAction>(form.get(), "mnuRunOnline")->text(), "&Online");
    for (const char* name : {"txtUserName", "txtConnectedIpAddress", "txtForwardingPort"})
        EXPECT_TRUE(Label(name)->text().isEmpty()) << name;
    EXPECT_TRUE(PortIsFree(onlinePort));
    EXPECT_FALSE(ControlInitialised());
}

TEST_F(HostMain, F5WithABadPortRefusesWithTheRangeMessageAndStaysOffline) {
    WriteUsers("ID=a&PASSWORD=b&Enable=0&ConnectName=\r\n");
    folder.Write(kHostSettingsFileName,
                 QByteArray("[Main]\r\nListenPortNo=") + QByteArray::number(onlinePort) + "\r\n");
    Start();
    for (const QString& bad : {QString("80"), QString(""), QString("12a45"), QString("70000")}) {
        SCOPED_TRACE(bad.toStdString());
        boxes.boxes.clear();
        Port()->setText(bad); // pasted, or typed without leaving the field
        Find<QAction>(form.get(), "mnuRunOnline")->trigger();
        EXPECT_FALSE(Online()->isChecked());
        ASSERT_EQ(boxes.boxes.size(), 1);
        EXPECT_EQ(boxes.boxes[0].text, PortMessage(false));
        EXPECT_EQ(Port()->text(), QString::number(onlinePort));
        EXPECT_TRUE(Port()->isEnabled());
        EXPECT_FALSE(ControlInitialised());
    }
}

TEST_F(HostMain, APortInUseShowsTheSocketErrorAndStaysOffline) {
    WriteUsers("ID=a&PASSWORD=b&Enable=0&ConnectName=\r\n");
    QUdpSocket squatter;
    ASSERT_TRUE(squatter.bind(QHostAddress::AnyIPv4, 0));
    folder.Write(kHostSettingsFileName, QByteArray("[Main]\r\nListenPortNo=") +
                                            QByteArray::number(squatter.localPort()) + "\r\n");
    Start();
    Online()->click();
    EXPECT_FALSE(Online()->isChecked());
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].text, "Local communication port could not be opened or Port is "
                                   "already in use.");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(Port()->isEnabled());
    EXPECT_EQ(Online()->text(), "&Online");
}

TEST_F(HostMain, StatusTextsAndWhichCodesKeepThePeer) {
    struct Status {
        qint32 code;
        QString english;
        QString japanese;
        bool keeps;
    };
    const QVector<Status> table = {
        {50, "Failed to connect.", QStringLiteral("接続に失敗しました。"), false},
        {51, "Connecting...", QStringLiteral("接続中..."), true},
        {52, "Connection is lost.", QStringLiteral("接続が消失しました。"), false},
        {53, "Successfully connected.", QStringLiteral("接続に成功しました。"), true},
        {54, "Connection is disconnected by the remote station.",
         QStringLiteral("接続がリモート・ステーションから切断されました。"), false},
        {55, "The host station is busy.", QStringLiteral("ホスト・ステーションがビジーです。"),
         false},
        {56, "The host station is unavailable.",
         QStringLiteral("ホスト・ステーションが利用不可能です。"), false},
        {57, "Connection request is rejected by the host station.",
         QStringLiteral("接続要求がホスト・ステーションによって拒否されました。"), false},
        {58, "Receiving Encrypted Data, please enable the TavrinoVoIP Cryptography feature.",
         QStringLiteral("暗号化されたデータを受信しました。TavrinoVoIP暗号を有効にしてください。"),
         false},
    };
    for (const bool japanese : {false, true}) {
        Start(japanese ? "Japanese" : "English");
        for (const Status& s : table) {
            SCOPED_TRACE(s.code);
            Label("txtUserName")->setText("alice");
            Label("txtConnectedIpAddress")->setText("127.0.0.1");
            Label("txtForwardingPort")->setText("5000");
            Reject()->setEnabled(false);
            emit Control()->OnStatusEvent(s.code);
            EXPECT_EQ(Label("lblConnectionStatus")->text(), japanese ? s.japanese : s.english);
            EXPECT_EQ(Label("txtUserName")->text().isEmpty(), !s.keeps);
            EXPECT_EQ(Label("txtConnectedIpAddress")->text().isEmpty(), !s.keeps);
            EXPECT_EQ(Label("txtForwardingPort")->text().isEmpty(), !s.keeps);
            EXPECT_EQ(Reject()->isEnabled(), !s.keeps);
        }
        // A code outside the table keeps the text and resets the peer.
        const QString before = Label("lblConnectionStatus")->text();
        Label("txtUserName")->setText("alice");
        Reject()->setEnabled(false);
        emit Control()->OnStatusEvent(49);
        EXPECT_EQ(Label("lblConnectionStatus")->text(), before);
        EXPECT_TRUE(Label("txtUserName")->text().isEmpty());
        EXPECT_TRUE(Reject()->isEnabled());
        form->close();
    }
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(HostMain, LampsAreDarkWhileQuietAndAFailedTickIsReportedEveryTime) {
    Start();
    auto* rx = Label("picRx");
    auto* rxDark = Label("picRxBlack");
    auto* tx = Label("picTx");
    auto* txDark = Label("picTxBlack");
    rx->setVisible(true);
    rxDark->setVisible(false);
    tx->setVisible(true);
    txDark->setVisible(false);
    ASSERT_TRUE(WaitFor([&] { return rxDark->isVisible() && txDark->isVisible(); }, 2000));
    EXPECT_FALSE(rx->isVisible());
    EXPECT_FALSE(tx->isVisible());
    EXPECT_EQ(rx->geometry(), rxDark->geometry()); // one place, one picture at a time
    EXPECT_EQ(tx->geometry(), txDark->geometry());
    EXPECT_EQ(Find<QTimer>(form.get(), "tmrMessage")->interval(), 500);

    // With the control gone every tick fails; each is reported, and the
    // timer goes on.
    Control()->Unload();
    ASSERT_TRUE(WaitFor([&] { return boxes.boxes.size() >= 2; }, 3000));
    EXPECT_EQ(boxes.boxes[0].text, QString::number(frmMain::kErrControlUnavailable));
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.boxes[0].title, "TESSORA-H");
}

TEST_F(HostMain, ClosingSavesTheUserListAndThePortTextAndGoesOffline) {
    WriteUsers("ID=a&PASSWORD=b&Enable=1&ConnectName=x&y\r\n");
    folder.Write(kHostSettingsFileName,
                 QByteArray("[Main]\r\nListenPortNo=") + QByteArray::number(onlinePort) + "\r\n");
    Start();
    Online()->click();
    ASSERT_TRUE(Online()->isChecked());
    AddUser(User("new", "pw", 0, "added"));
    Port()->setText("41000"); // read at exit, whatever its state
    Find<QAction>(form.get(), "mnuFileExit")->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(PortIsFree(onlinePort));
    EXPECT_EQ(folder.Read(kUserListFileName),
              QByteArray("ID=a&PASSWORD=b&Enable=1&ConnectName=x&y\r\n"
                         "ID=new&PASSWORD=pw&Enable=0&ConnectName=added\r\n"));
    EXPECT_EQ(folder.Read(kHostSettingsFileName), QByteArray("[Main]\r\nListenPortNo=41000\r\n"));
    EXPECT_EQ(form->g_strListenPort, "41000");
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(HostMain, ASignalClosesOpenDialogsThenEndsAsExitDoes) {
    WriteUsers("ID=a&PASSWORD=b&Enable=0&ConnectName=\r\n");
    Start();
    AddUser(User("added", "pw"));
    // Setup, and the detailed setup on top of it, are open when it comes.
    QStringList open;
    QTimer::singleShot(50, [&open] {
        if (QWidget* setup = QApplication::activeModalWidget()) {
            open << setup->objectName();
            setup->findChild<QPushButton*>("btnAdd")->click();
        }
    });
    QTimer::singleShot(150, [&open, this] {
        if (QWidget* detail = QApplication::activeModalWidget())
            open << detail->objectName();
        form->CloseFromSignal();
    });
    Find<QAction>(form.get(), "mnuFileSetup")->trigger();
    EXPECT_EQ(open, QStringList({"frmSetup", "frmDetailedSetup"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(folder.Read(kUserListFileName),
              QByteArray("ID=a&PASSWORD=b&Enable=0&ConnectName=\r\n"
                         "ID=added&PASSWORD=pw&Enable=0&ConnectName=\r\n"));
    EXPECT_EQ(folder.Read(kHostSettingsFileName), QByteArray("[Main]\r\nListenPortNo=33550\r\n"));
}

TEST_F(HostMain, SetupOpensFromTheFileMenuAsAModalWindow) {
    WriteUsers("ID=a&PASSWORD=b&Enable=0&ConnectName=\r\n");
    Start();
    bool seen = false;
    QTimer::singleShot(50, [&seen] {
        QWidget* modal = QApplication::activeModalWidget();
        seen = modal && modal->objectName() == "frmSetup";
        if (modal)
            modal->close();
    });
    Find<QAction>(form.get(), "mnuFileSetup")->trigger();
    EXPECT_TRUE(seen);
}

TEST_F(HostMain, HelpMenuF1AndAboutUseTheLanguagesHelpFile) {
    for (const bool japanese : {false, true}) {
        SCOPED_TRACE(japanese);
        Start(japanese ? "Japanese" : "English");
        const QString file =
            QDir(QCoreApplication::applicationDirPath())
                .filePath(japanese ? "TESSORAH(Japanese).qhc" : "TESSORAH(English).qhc");
        ASSERT_TRUE(QFileInfo::exists(file)) << "help files are built into the bin folder";

        Find<QAction>(form.get(), "mnuHelpHelp")->trigger();
        HelpViewer* viewer = HelpViewer::Existing();
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_EQ(viewer->OpenFilePath(), file);
        EXPECT_TRUE(viewer->CurrentMessage().isEmpty()) << viewer->CurrentMessage().toStdString();
        viewer->CloseAll();

        // F1 opens the main window's topic.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), Qt::Key_F1);
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_TRUE(viewer->CurrentMessage().isEmpty()) << viewer->CurrentMessage().toStdString();
        const QString mainPage = viewer->CurrentPage();
        EXPECT_FALSE(mainPage.isEmpty());
        viewer->CloseAll();

        // F1 in the setup window opens another topic.
        QString setupPage;
        QTimer::singleShot(50, [&setupPage, viewer] {
            QWidget* setup = QApplication::activeModalWidget();
            if (!setup)
                return;
            QTest::keyClick(setup, Qt::Key_F1);
            setupPage = viewer->CurrentPage();
            viewer->CloseAll();
            setup->close();
        });
        Find<QAction>(form.get(), "mnuFileSetup")->trigger();
        EXPECT_FALSE(setupPage.isEmpty());
        EXPECT_NE(setupPage, mainPage);

        QString aboutTitle;
        QTimer::singleShot(50, [&aboutTitle] {
            QWidget* about = QApplication::activeModalWidget();
            if (!about)
                return;
            aboutTitle = about->windowTitle();
            about->close();
        });
        Find<QAction>(form.get(), "mnuHelpAbout")->trigger();
        EXPECT_EQ(aboutTitle, japanese ? QStringLiteral("TESSORA-Hについて") : "About TESSORA-H");
        form->close();
    }
}
