// The remote main window against a real host control in its own process: the connect flow,
// every ending status, the user data on the wire, incoming calls, start-up and closing.
#include "NoProxy.h"
#include "RemoteTestSupport.h"
#include "TavrinoClient.h"
#include "frmMain.h"
#include "frmSetup.h"
#include "modConnectionSecurity.h"
#include "modControlCommon.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>

#include <ctime>
#include <memory>

namespace {

using namespace Tavrino;

const QHostAddress kHostAddress(QStringLiteral("127.0.0.2"));
const QHostAddress kRemoteAddress(QStringLiteral("127.0.0.3"));

// Each test calls on its own port, so a socket left behind by one never meets the next.
int NextPort() {
    static int port = 47310;
    return port += 3;
}

// True when the window's control is initialised: only then does Disconnect succeed. Only
// asked once no call is up, so the probe itself sends nothing.
bool ControlInitialised(frmMain* window) {
    return Find<TavrinoClient>(window, "TavrinoStandard")->CallBool(DISPID_DISCONNECT);
}

// Appends a connection to the host console on `port` to the stored list.
void StoreConnection(const QString& name, int port, const QString& user = QStringLiteral("user"),
                     const QString& password = QStringLiteral("pw")) {
    LoadConnectionList();
    AddConnection(
        {name, QString(), QStringLiteral("127.0.0.2"), QString::number(port), user, password});
    QVERIFY(SaveConnectionList());
    ClearConnections();
}

QByteArray Quoted(const QString& text) {
    return '"' + text.toLocal8Bit() + '"';
}

} // namespace

class RemoteMainTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void callConnectsAndHangsUp();
    void endingStatuses_data();
    void endingStatuses();
    void statusWhileIdleChangesOnlyTheTexts();
    void noSelection_data();
    void noSelection();
    void failedInitializeShowsTheObjectError_data();
    void failedInitializeShowsTheObjectError();
    void missingControlIsReported();
    void userDataOnTheWireAndIncomingCallsCancelled();
    void startupSelection_data();
    void startupSelection();
    void setupMenuReselectsByName();
    void closingHangsUpAndSaves();
    void captionsInBothLanguages_data();
    void captionsInBothLanguages();

private:
    std::unique_ptr<frmMain> OpenWindow();
    bool StartHost(HostConsole& host, int port, const QList<QByteArray>& setup = {});
    void Press(frmMain* window) { Find<QPushButton>(window, "chkConnect")->click(); }
};

void RemoteMainTest::initTestCase() {
    UseNoProxy();
    // The remote under test binds its own loopback address; the host console binds another.
    const QString missing = UseControlOnRemoteAddress();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
}

std::unique_ptr<frmMain> RemoteMainTest::OpenWindow() {
    g_blnConnectionActive = false; // as at program start; a manual hang-up leaves it set
    auto window = std::make_unique<frmMain>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}

bool RemoteMainTest::StartHost(HostConsole& host, int port, const QList<QByteArray>& setup) {
    if (!host.started) {
        qWarning("%s", qPrintable(host.error));
        return false;
    }
    if (host.Call("Initialize " + QByteArray::number(port) + " \"Granite Granite Purple Moon\"") !=
        "= TRUE")
        return false;
    for (const QByteArray& line : setup)
        if (!host.Call(line).startsWith("= "))
            return false;
    return true;
}

void RemoteMainTest::callConnectsAndHangsUp() {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    const int port = NextPort();
    StoreConnection(QStringLiteral("Host"), port, QStringLiteral("ユーザー=1"),
                    QStringLiteral("p&ss=wo&rd"));
    HostConsole host;
    QVERIFY(StartHost(host, port, {"DisableCryptography"}));
    auto window = OpenWindow();
    QVERIFY(window);
    auto* combo = Find<QComboBox>(window.get(), "cboConnectionName");
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    auto* portLabel = Find<QLabel>(window.get(), "txtPortNumber");
    combo->setCurrentIndex(0);
    QVERIFY(portLabel->text().isEmpty());

    Press(window.get());
    QVERIFY(toggle->isChecked());
    QVERIFY(g_blnConnectionActive);
    QVERIFY(!combo->isEnabled());
    QVERIFY(!portLabel->isEnabled());
    QCOMPARE(portLabel->text(), QString::number(port));
    QCOMPARE(toggle->text(), QStringLiteral("&Disconnect"));
    QCOMPARE(toggle->toolTip(), QStringLiteral("Click to Disconnect"));
    QCOMPARE(Find<QAction>(window.get(), "mnuRunConnect")->text(), QStringLiteral("&Disconnect"));
    QTRY_COMPARE(status->text(), QStringLiteral("Connecting..."));
    auto* tray = Find<QSystemTrayIcon>(window.get(), "trayIcon");
    QCOMPARE(tray->toolTip(), QStringLiteral("TESSORA-R\nConnecting with Host..."));

    // The host sees the user name exactly as stored, from the remote's address and port,
    // and connects only with the very password.
    const QByteArray announced = host.TakeLine("! OnConnectionEvent");
    QCOMPARE(announced, "! OnConnectionEvent \"127.0.0.3\" " + QByteArray::number(port) + ' ' +
                            Quoted(QStringLiteral("ID=ユーザー=1")));
    QCOMPARE(host.Call("AcceptSecureCall \"127.0.0.3\" " + QByteArray::number(port) +
                       " \"p&ss=wo&rd\" 20"),
             QByteArray("= TRUE"));
    QTRY_COMPARE(status->text(), QStringLiteral("Successfully connected."));
    QVERIFY(toggle->isChecked());
    QVERIFY(!combo->isEnabled());
    QVERIFY(!host.TakeLine("! OnStatusEvent 53").isEmpty());
    QCOMPARE(tray->toolTip(), QStringLiteral("TESSORA-R\nIn a call with Host\nEncrypted"));

    // Both sides send voice frames now: both lamps light, each in place of its dark twin.
    for (const char* lit : {"picTx", "picRx"})
        QTRY_VERIFY_WITH_TIMEOUT(Find<QLabel>(window.get(), lit)->isVisible(), 5000);
    QVERIFY(!Find<QLabel>(window.get(), "picTxBlack")->isVisible());
    QVERIFY(!Find<QLabel>(window.get(), "picRxBlack")->isVisible());

    // Hanging up by hand: the host hears it, the window goes idle and clears its texts.
    Press(window.get());
    QVERIFY(!host.TakeLine("! OnStatusEvent 54").isEmpty());
    QVERIFY(!toggle->isChecked());
    QVERIFY(combo->isEnabled());
    QVERIFY(portLabel->isEnabled());
    QVERIFY(status->text().isEmpty());
    QVERIFY(portLabel->text().isEmpty());
    QCOMPARE(toggle->text(), QStringLiteral("&Connect"));
    QCOMPARE(toggle->toolTip(), QStringLiteral("Click to Connect"));
    QCOMPARE(Find<QAction>(window.get(), "mnuRunConnect")->text(), QStringLiteral("&Connect"));
    QCOMPARE(tray->toolTip(), QStringLiteral("TESSORA-R\nNot connected"));
    QVERIFY(!ControlInitialised(window.get()));
    QTRY_VERIFY_WITH_TIMEOUT(Find<QLabel>(window.get(), "picTxBlack")->isVisible(), 3000);
    QVERIFY(!Find<QLabel>(window.get(), "picTx")->isVisible());
    QVERIFY(recorder.boxes.isEmpty());
}

void RemoteMainTest::endingStatuses_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QList<QByteArray>>("hostSetup");
    QTest::addColumn<QByteArray>("hostAnswer"); // to the announced call; "%1" is the port
    QTest::addColumn<bool>("connectFirst");
    QTest::addColumn<QByteArray>("hostAfterConnect");
    QTest::addColumn<QString>("statusLine");
    QTest::addColumn<QString>("message");

    const QList<QByteArray> plain{"DisableCryptography"};
    const QByteArray accept = "AcceptSecureCall \"127.0.0.3\" %1 \"pw\" 20";
    const QByteArray cancel = "CancelIncomingCall \"127.0.0.3\" %1";
    const QString br = QStringLiteral("\r\n");

    QTest::newRow("55 busy") << QStringLiteral("English")
                             << QList<QByteArray>{"DisableCryptography", "EnableBusyState"}
                             << QByteArray() << false << QByteArray()
                             << QStringLiteral("The host station is busy.")
                             << QStringLiteral("The host station Busy") + br +
                                    QStringLiteral("The host station is currently being used by "
                                                   "another user.") +
                                    br + QStringLiteral("Connect to the host station later.");
    QTest::newRow("55 busy, Japanese")
        << QStringLiteral("Japanese") << QList<QByteArray>{"DisableCryptography", "EnableBusyState"}
        << QByteArray() << false << QByteArray()
        << QStringLiteral("ホスト・ステーションがビジーです。")
        << QStringLiteral("ホスト・ステーションがビジー") + br +
               QStringLiteral(
                   "ホスト・ステーションは現在ほかのユーザーによって使用されています。") +
               br + QStringLiteral("時間をおいて再度接続してください。");
    QTest::newRow("56 unavailable")
        << QStringLiteral("English")
        << QList<QByteArray>{"DisableCryptography", "EnableNotAvailableState"} << QByteArray()
        << false << QByteArray() << QStringLiteral("The host station is unavailable.")
        << QStringLiteral("The host station is unavailable") + br +
               QStringLiteral("Because the administrator has stopped the host station, it is not "
                              "possible to use it.") +
               br + QStringLiteral("Please contact the administrator for details.");
    QTest::newRow("56 unavailable, Japanese")
        << QStringLiteral("Japanese")
        << QList<QByteArray>{"DisableCryptography", "EnableNotAvailableState"} << QByteArray()
        << false << QByteArray() << QStringLiteral("ホスト・ステーションが利用不可能です。")
        << QStringLiteral("ホスト・ステーションが利用不可能") + br +
               QStringLiteral("ホスト・ステーションが管理者によって停止されているため、使用できま"
                              "せん。") +
               br + QStringLiteral("詳細は管理者に問い合わせてください。");
    QTest::newRow("57 rejected") << QStringLiteral("English") << plain << cancel << false
                                 << QByteArray()
                                 << QStringLiteral("Connection request is rejected by the host "
                                                   "station.")
                                 << QStringLiteral("Your ID has been temporarily disabled") + br +
                                        QStringLiteral("The administrator of the requested host "
                                                       "station has temporarily disabled your "
                                                       "connection to the host station.") +
                                        br +
                                        QStringLiteral("Contact the administrator for details.");
    QTest::newRow("57 rejected, Japanese")
        << QStringLiteral("Japanese") << plain << cancel << false << QByteArray()
        << QStringLiteral("接続要求がホスト・ステーションによって拒否されました。")
        << QStringLiteral("あなたのIDが一時的に無効にされている") + br +
               QStringLiteral("ホスト・ステーションの管理者があなたの接続を一時的に無効にしていま"
                              "す。") +
               br + QStringLiteral("詳細は管理者に問い合わせてください。");
    QTest::newRow("54 host hangs up")
        << QStringLiteral("English") << plain << accept << true << QByteArray("Disconnect")
        << QStringLiteral("Connection is disconnected by the host station.") << QString();
    QTest::newRow("54 host hangs up, Japanese")
        << QStringLiteral("Japanese") << plain << accept << true << QByteArray("Disconnect")
        << QStringLiteral("接続がホスト・ステーションから切断されました。") << QString();
    // The host encrypts its voice while the remote runs with encryption off.
    QTest::newRow("58 encrypted voice")
        << QStringLiteral("English") << QList<QByteArray>{"EnableCryptography"} << accept << false
        << QByteArray()
        << QStringLiteral("Receiving Encrypted Data, please enable the TavrinoVoIP Cryptography "
                          "feature.")
        << QString();
    QTest::newRow("58 encrypted voice, Japanese")
        << QStringLiteral("Japanese") << QList<QByteArray>{"EnableCryptography"} << accept << false
        << QByteArray()
        << QStringLiteral("暗号化されたデータを受信しました。TavrinoVoIP暗号を有効にしてください。")
        << QString();
}

void RemoteMainTest::endingStatuses() {
    QFETCH(QString, language);
    QFETCH(QList<QByteArray>, hostSetup);
    QFETCH(QByteArray, hostAnswer);
    QFETCH(bool, connectFirst);
    QFETCH(QByteArray, hostAfterConnect);
    QFETCH(QString, statusLine);
    QFETCH(QString, message);
    RemoteSandbox sandbox(language);
    MessageBoxRecorder recorder;
    const int port = NextPort();
    StoreConnection(QStringLiteral("Host"), port);
    HostConsole host;
    QVERIFY(StartHost(host, port, hostSetup));
    auto window = OpenWindow();
    QVERIFY(window);
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
    Press(window.get());
    QVERIFY(toggle->isChecked());

    if (!hostAnswer.isEmpty()) {
        QVERIFY(!host.TakeLine("! OnConnectionEvent").isEmpty());
        QCOMPARE(host.Call(QByteArray(hostAnswer).replace("%1", QByteArray::number(port))),
                 QByteArray("= TRUE"));
    }
    if (connectFirst) {
        QVERIFY(!host.TakeLine("! OnStatusEvent 53").isEmpty());
        QTRY_VERIFY(toggle->isChecked() && g_blnConnectionActive);
        QCOMPARE(host.Call(hostAfterConnect), QByteArray("= TRUE"));
    }

    // The ending status unchecks the toggle, tears the control down and stays on show.
    QTRY_VERIFY_WITH_TIMEOUT(!toggle->isChecked(), 10000);
    QCOMPARE(status->text(), statusLine);
    QVERIFY(!g_blnConnectionActive);
    QVERIFY(Find<QComboBox>(window.get(), "cboConnectionName")->isEnabled());
    QCOMPARE(Find<QLabel>(window.get(), "txtPortNumber")->text(), QString::number(port));
    QCOMPARE(toggle->text(), language == QLatin1String("English") ? QStringLiteral("&Connect")
                                                                  : QStringLiteral("接続(&C)"));
    QVERIFY(!ControlInitialised(window.get()));
    if (message.isEmpty()) {
        QVERIFY(recorder.boxes.isEmpty());
    } else {
        QCOMPARE(recorder.boxes.size(), 1);
        QCOMPARE(recorder.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(recorder.boxes[0].title, QStringLiteral("TESSORA-R"));
        QCOMPARE(recorder.boxes[0].text, message);
    }
    // Nothing more arrives once the control is down.
    QTest::qWait(300);
    QCOMPARE(status->text(), statusLine);
    QCOMPARE(recorder.boxes.size(), message.isEmpty() ? 0 : 1);
}

void RemoteMainTest::statusWhileIdleChangesOnlyTheTexts() {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    StoreConnection(QStringLiteral("Host"), NextPort());
    auto window = OpenWindow();
    QVERIFY(window);
    auto* control = Find<TavrinoClient>(window.get(), "TavrinoStandard");
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    QSignalSpy toggles(toggle, &QPushButton::toggled);

    // As if a late report were delivered after the call had already ended.
    emit control->OnStatusEvent(STATUS_CALL_REJECTED);
    QCOMPARE(toggles.count(), 0);
    QVERIFY(!toggle->isChecked());
    QCOMPARE(status->text(), QStringLiteral("Connection request is rejected by the host station."));
    QCOMPARE(recorder.boxes.size(), 1);
    QVERIFY(!ControlInitialised(window.get()));

    // 51 and 53 touch only the line; codes outside the table change nothing at all.
    emit control->OnStatusEvent(STATUS_CONNECTED);
    QCOMPARE(status->text(), QStringLiteral("Successfully connected."));
    for (qint32 code : {49, 59, 0, -1}) {
        emit control->OnStatusEvent(code);
        QCOMPARE(status->text(), QStringLiteral("Successfully connected."));
    }
    emit control->OnStatusEvent(STATUS_CONNECTION_LOST);
    QCOMPARE(status->text(), QStringLiteral("Connection is lost."));
    QCOMPARE(recorder.boxes.size(), 1);

    // The time-out's box keeps an empty line after its first line.
    emit control->OnStatusEvent(STATUS_TIMEOUT);
    QCOMPARE(status->text(), QStringLiteral("Failed to connect."));
    QCOMPARE(recorder.boxes.size(), 2);
    QCOMPARE(recorder.boxes[1].icon, QMessageBox::Warning);
    QCOMPARE(recorder.boxes[1].text,
             QStringLiteral("A network error is detected.\r\n\r\nPossibilities include:\r\n"
                            "The User Name, the Password, IP address or/and the Port number is "
                            "incorrect.\r\nThe host station does not operate."));
    QCOMPARE(toggles.count(), 0);
}

void RemoteMainTest::noSelection_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("emptyList");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty list") << QStringLiteral("English") << true
                                << QStringLiteral("Please select Connection Name.");
    QTest::newRow("nothing chosen, Japanese")
        << QStringLiteral("Japanese") << false << QStringLiteral("接続名を選択してください。");
}

void RemoteMainTest::noSelection() {
    QFETCH(QString, language);
    QFETCH(bool, emptyList);
    QFETCH(QString, expected);
    RemoteSandbox sandbox(language);
    MessageBoxRecorder recorder;
    if (!emptyList)
        StoreConnection(QStringLiteral("Host"), NextPort());
    auto window = OpenWindow();
    QVERIFY(window);
    auto* combo = Find<QComboBox>(window.get(), "cboConnectionName");
    QCOMPARE(combo->count(), emptyList ? 0 : 1);
    QCOMPARE(combo->currentIndex(), -1);
    Press(window.get());
    QVERIFY(!Find<QPushButton>(window.get(), "chkConnect")->isChecked());
    QVERIFY(combo->isEnabled());
    QVERIFY(Find<QLabel>(window.get(), "txtPortNumber")->text().isEmpty());
    QVERIFY(!ControlInitialised(window.get()));
    QCOMPARE(recorder.boxes.size(), 1);
    QCOMPARE(recorder.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(recorder.boxes[0].title, QStringLiteral("TESSORA-R"));
    QCOMPARE(recorder.boxes[0].text, expected);
}

void RemoteMainTest::failedInitializeShowsTheObjectError_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("expected");
    QTest::newRow("English") << QStringLiteral("English")
                             << QStringLiteral("Local communication port could not be opened or "
                                               "Port is already in use.");
    QTest::newRow("Japanese") << QStringLiteral("Japanese")
                              << QStringLiteral("ローカル通信ポートが開けません、あるいはポートは既"
                                                "に使用中です。");
}

void RemoteMainTest::failedInitializeShowsTheObjectError() {
    QFETCH(QString, language);
    QFETCH(QString, expected);
    RemoteSandbox sandbox(language);
    MessageBoxRecorder recorder;
    const int port = NextPort();
    StoreConnection(QStringLiteral("Host"), port);
    QUdpSocket squatter;
    QVERIFY(squatter.bind(kRemoteAddress, port));
    auto window = OpenWindow();
    QVERIFY(window);
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
    Press(window.get());
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    QVERIFY(!toggle->isChecked());
    QVERIFY(!g_blnConnectionActive);
    QVERIFY(Find<QComboBox>(window.get(), "cboConnectionName")->isEnabled());
    QCOMPARE(recorder.boxes.size(), 1);
    QCOMPARE(recorder.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(recorder.boxes[0].text, expected);
    // Once the port is free the same connection works.
    squatter.close();
    Press(window.get());
    QVERIFY(toggle->isChecked());
    Press(window.get());
    QCOMPARE(recorder.boxes.size(), 1);
}

void RemoteMainTest::missingControlIsReported() {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    StoreConnection(QStringLiteral("Host"), NextPort());
    frmMain window(QStringLiteral("/nonexistent/TAVRINOSTANDARD.so"));
    Find<QComboBox>(&window, "cboConnectionName")->setCurrentIndex(0);
    Press(&window);
    QVERIFY(!Find<QPushButton>(&window, "chkConnect")->isChecked());
    QCOMPARE(recorder.boxes.size(), 1);
    QCOMPARE(recorder.boxes[0].icon, QMessageBox::Critical);
    QVERIFY2(recorder.boxes[0].text.startsWith(
                 QStringLiteral("The voice control could not be loaded.\r\n")),
             qPrintable(recorder.boxes[0].text));
    // Its lamps stay dark without a word; a control that stops answering is reported (424).
    QTest::qWait(700);
    QCOMPARE(recorder.boxes.size(), 1);
    QVERIFY(!Find<QLabel>(&window, "picRxBlack")->isHidden());
    auto live = OpenWindow();
    Find<TavrinoClient>(live.get(), "TavrinoStandard")->Unload();
    QVERIFY(WaitFor([&] { return recorder.Texts().contains(QStringLiteral("424")); }, 3000));
}

void RemoteMainTest::userDataOnTheWireAndIncomingCallsCancelled() {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    const int port = NextPort();
    const QString user = QStringLiteral("Ünïcode=ユーザー");
    const QString password = QStringLiteral("&Password=x&ID=y=");
    StoreConnection(QStringLiteral("Wire"), port, user, password);
    SetAllowUnencrypted(QStringLiteral("Wire"), true);
    // A bare socket stands in for the host: it sees the request exactly as sent.
    QUdpSocket hostSocket;
    QVERIFY(hostSocket.bind(kHostAddress, port));
    auto window = OpenWindow();
    QVERIFY(window);
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
    const auto before = static_cast<quint32>(std::time(nullptr));
    Find<QAction>(window.get(), "mnuRunConnect")->trigger();
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    QVERIFY(toggle->isChecked());

    QTRY_VERIFY(hostSocket.hasPendingDatagrams());
    const QNetworkDatagram secure = hostSocket.receiveDatagram();
    QCOMPARE(secure.senderAddress(), kRemoteAddress);
    QCOMPARE(secure.senderPort(), port);
    // First encrypted: version 1, flags 0, sid, share, the user name; never the password.
    const QByteArray name = user.toLocal8Bit();
    QCOMPARE(secure.data().left(3), QByteArray("\x14\x01\x00", 3));
    QCOMPARE(secure.data().size(), 3 + 16 + 32 + name.size() + 1);
    QCOMPARE(secure.data().right(name.size() + 1), name + '\0');
    QVERIFY(!secure.data().contains(password.toLocal8Bit()));
    // Unanswered, a connection that may fall back sends the stated request 6 s on.
    QNetworkDatagram request;
    QVERIFY(WaitFor(
        [&] {
            while (hostSocket.hasPendingDatagrams())
                if ((request = hostSocket.receiveDatagram()).data().startsWith('\x01'))
                    return true;
            return false;
        },
        10000));
    const QByteArray userData =
        (QStringLiteral("ID=") + user + QStringLiteral("&Password=") + password).toLocal8Bit();
    const QByteArray bytes = request.data();
    QCOMPARE(bytes.size(), 1 + userData.size() + 1 + 8);
    QCOMPARE(quint8(bytes[0]), quint8(1));
    QCOMPARE(bytes.mid(1, userData.size()), userData);
    QCOMPARE(bytes[1 + userData.size()], '\0');
    const QByteArray token = bytes.right(8);
    const quint32 seconds = quint8(token[0]) | quint8(token[1]) << 8 | quint8(token[2]) << 16 |
                            quint32(quint8(token[3])) << 24;
    QVERIFY(seconds >= before + 5 && seconds <= before + 10);

    // A station calling the remote is turned away with its own token; the call goes on.
    QUdpSocket caller;
    QVERIFY(caller.bind(QHostAddress(QStringLiteral("127.0.0.4")), port + 1));
    const QByteArray callerToken("\x11\x22\x33\x44\x55\x66\x77\x88", 8);
    caller.writeDatagram(QByteArray("\x01", 1) + "ID=x&Password=y" + '\0' + callerToken,
                         kRemoteAddress, port);
    QTRY_VERIFY(caller.hasPendingDatagrams());
    const QNetworkDatagram reject = caller.receiveDatagram();
    QCOMPARE(reject.data(), QByteArray("\x0d", 1) + callerToken);
    QVERIFY(toggle->isChecked());
    QCOMPARE(Find<QLabel>(window.get(), "lblStatus")->text(), QStringLiteral("Connecting..."));
    QVERIFY(recorder.boxes.isEmpty());

    // Run > Connect toggles back: the call is dropped and the texts cleared.
    Find<QAction>(window.get(), "mnuRunConnect")->trigger();
    QVERIFY(!toggle->isChecked());
    QVERIFY(Find<QLabel>(window.get(), "lblStatus")->text().isEmpty());
    QVERIFY(!ControlInitialised(window.get()));
}

void RemoteMainTest::startupSelection_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("selected");
    QTest::newRow("first of two equal names") << QByteArray("[INIT]\r\nSelectItem=Twin\r\n") << 1;
    QTest::newRow("last line wins")
        << QByteArray("[INIT]\r\nSelectItem=Other\r\nSelectItem=First\r\n") << 0;
    QTest::newRow("name no longer stored") << QByteArray("[INIT]\r\nSelectItem=Gone\r\n") << -1;
    QTest::newRow("letter case differs") << QByteArray("[INIT]\r\nSelectItem=twin\r\n") << -1;
    QTest::newRow("name holding =") << QByteArray("[INIT]\r\nSelectItem=A=B\r\n") << -1;
    QTest::newRow("no settings file") << QByteArray() << -1;
}

void RemoteMainTest::startupSelection() {
    QFETCH(QByteArray, settings);
    QFETCH(int, selected);
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder; // "last line wins" keeps the file aside, and says so
    for (const char* name : {"First", "Twin", "Twin", "A=B"})
        AddConnection(MakeRecord(QString::fromLatin1(name)));
    QVERIFY(SaveConnectionList());
    ClearConnections();
    if (!settings.isEmpty())
        sandbox.Write(QStringLiteral("TESSORAR.ini"), settings);
    auto window = OpenWindow();
    QVERIFY(window);
    auto* combo = Find<QComboBox>(window.get(), "cboConnectionName");
    QCOMPARE(combo->count(), 4);
    QCOMPARE(combo->itemText(3), QStringLiteral("A=B"));
    QCOMPARE(combo->currentIndex(), selected);
}

void RemoteMainTest::setupMenuReselectsByName() {
    RemoteSandbox sandbox;
    for (const char* name : {"A", "B", "C"})
        AddConnection(MakeRecord(QString::fromLatin1(name)));
    QVERIFY(SaveConnectionList());
    ClearConnections();
    auto window = OpenWindow();
    QVERIFY(window);
    auto* combo = Find<QComboBox>(window.get(), "cboConnectionName");
    combo->setCurrentIndex(1);

    // In the Setup dialog, delete the first connection; B moves up one place.
    int setups = 0;
    auto deleteFirst = [&setups] {
        auto* setup = qobject_cast<frmSetup*>(QApplication::activeModalWidget());
        if (!setup)
            return false;
        ++setups;
        auto* list = Find<QTreeWidget>(setup, "lvwSettingList");
        list->setCurrentItem(list->topLevelItem(0));
        Find<QPushButton>(setup, "btnDelete")->click();
        Find<QPushButton>(setup, "btnClose")->click();
        return true;
    };
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] { deleteFirst(); });
    poll.start(10);
    Find<QAction>(window.get(), "mnuFileSetup")->trigger();
    QCOMPARE(setups, 1);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->currentText(), QStringLiteral("B"));

    // Deleting the selected one leaves nothing selected.
    Find<QAction>(window.get(), "mnuFileSetup")->trigger();
    QCOMPARE(setups, 2);
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->currentIndex(), -1);
}

void RemoteMainTest::closingHangsUpAndSaves() {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    const int port = NextPort();
    sandbox.Write(
        QStringLiteral("Connect.dat"),
        "ConnectName=Other&Description=&IP Address=127.0.0.2&PortNo=" + QByteArray::number(port) +
            "&UserName=u&Password=p\r\nConnectName=Host&Description=d&IP "
            "Address=127.0.0.2&PortNo=" +
            QByteArray::number(port) + "&UserName=user&Password=a&b\r\n");
    HostConsole host;
    QVERIFY(StartHost(host, port, {"DisableCryptography"}));
    auto window = OpenWindow();
    QVERIFY(window);
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(1);
    Press(window.get());
    QVERIFY(!host.TakeLine("! OnConnectionEvent").isEmpty());
    host.Call("AcceptSecureCall \"127.0.0.3\" " + QByteArray::number(port) + " \"a&b\" 20");
    QVERIFY(!host.TakeLine("! OnStatusEvent 53").isEmpty());

    QVERIFY(window->close());
    QVERIFY(!host.TakeLine("! OnStatusEvent 54").isEmpty());
    QCOMPARE(sandbox.Read(QStringLiteral("TESSORAR.ini")),
             QByteArray("[INIT]\r\nSelectItem=Host\r\n"));
    QCOMPARE(
        sandbox.Read(QStringLiteral("Connect.dat")),
        "ConnectName=Other&Description=&IP Address=127.0.0.2&PortNo=" + QByteArray::number(port) +
            "&UserName=u&Password=p\r\nConnectName=Host&Description=d&IP "
            "Address=127.0.0.2&PortNo=" +
            QByteArray::number(port) + "&UserName=user&Password=a&b\r\n");
    // The control is down: the port is free again.
    QUdpSocket probe;
    QVERIFY(probe.bind(kRemoteAddress, port));
    QVERIFY(recorder.boxes.isEmpty());
}

void RemoteMainTest::captionsInBothLanguages_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("English") << QStringLiteral("English")
                             << QStringList{"TESSORA-R VoIP Program (for Remote Station)",
                                            "&File",
                                            "&Setup...",
                                            "E&xit",
                                            "&Run",
                                            "&Connect",
                                            "&Help",
                                            "&Help...",
                                            "&About TESSORA-R...",
                                            "Connection Settings",
                                            "Connection &Name:",
                                            "Connection Name",
                                            "Port Number:",
                                            "&Connect",
                                            "Click to Connect",
                                            "VoIP",
                                            "Rx",
                                            "Tx",
                                            "Connection Status"};
    QTest::newRow("Japanese") << QStringLiteral("Japanese")
                              << QStringList{"TESSORA-R VoIP Program (for Remote Station)",
                                             "ファイル(&F)",
                                             "設定(&S)...",
                                             "終了(&X)",
                                             "実行(&R)",
                                             "接続(&C)",
                                             "ヘルプ(&H)",
                                             "ヘルプ(&H)...",
                                             "TESSORA-Rについて(&A)...",
                                             "接続設定",
                                             "接続名(&N)：",
                                             "接続名",
                                             "ポート番号：",
                                             "接続(&C)",
                                             "接続はここをクリック",
                                             "VoIP",
                                             "受信",
                                             "送信",
                                             "接続状況"};
}

void RemoteMainTest::captionsInBothLanguages() {
    QFETCH(QString, language);
    QFETCH(QStringList, texts);
    RemoteSandbox sandbox(language);
    auto window = OpenWindow();
    QVERIFY(window);
    frmMain* w = window.get();
    auto action = [w](const char* name) { return Find<QAction>(w, name)->text(); };
    auto menu = [w](const char* name) { return Find<QMenu>(w, name)->title(); };
    auto frame = [w](const char* name) { return Find<QGroupBox>(w, name)->title(); };
    auto label = [w](const char* name) { return Find<QLabel>(w, name)->text(); };
    const QStringList actual{w->windowTitle(),
                             menu("mnuFile"),
                             action("mnuFileSetup"),
                             action("mnuFileExit"),
                             menu("mnuRun"),
                             action("mnuRunConnect"),
                             menu("mnuHelp"),
                             action("mnuHelpHelp"),
                             action("mnuHelpAbout"),
                             frame("fraConnectionSettings"),
                             label("lblConnectionName"),
                             Find<QComboBox>(w, "cboConnectionName")->toolTip(),
                             label("lblPortNumber"),
                             Find<QPushButton>(w, "chkConnect")->text(),
                             Find<QPushButton>(w, "chkConnect")->toolTip(),
                             frame("fraVoIp"),
                             label("lblRx"),
                             label("lblTx"),
                             frame("fraConnectionStatus")};
    QCOMPARE(actual, texts);
    QVERIFY(Find<QAction>(w, "mnuFileLine")->isSeparator());
    QVERIFY(Find<QAction>(w, "mnuHelpLine")->isSeparator());
    const QFont big = Find<QPushButton>(w, "chkConnect")->font();
    QCOMPARE(big.pointSize(), 16);
    QVERIFY(big.bold());
    QCOMPARE(w->font().pointSize(), 9);
    QCOMPARE(Find<QTimer>(w, "tmrUpdateVoipStatus")->interval(), 500);
    QVERIFY(Find<QTimer>(w, "tmrUpdateVoipStatus")->isActive());
    for (const char* picture : {"picRx", "picRxBlack", "picTx", "picTxBlack", "imgHalvornLogo"})
        QVERIFY2(!Find<QLabel>(w, picture)->pixmap().isNull(), picture);
    // At rest both lamps are dark.
    QVERIFY(Find<QLabel>(w, "picRxBlack")->isVisible() && !Find<QLabel>(w, "picRx")->isVisible());
    QVERIFY(Find<QLabel>(w, "picTxBlack")->isVisible() && !Find<QLabel>(w, "picTx")->isVisible());

    // Help opens the remote's file in the active language, at the main window's topic.
    const QString helpFile = QStringLiteral("TESSORAR(%1).qhc").arg(language);
    QVERIFY(w->property("tessoraHelpFile").toString().endsWith(QLatin1Char('/') + helpFile));
    QCOMPARE(w->property("tessoraHelpContext").toInt(), 1001);

    // Help > About shows the remote's about box, modal.
    QString aboutTitle;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&aboutTitle] {
        if (auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            aboutTitle = about->windowTitle();
            about->reject();
        }
    });
    poll.start(10);
    Find<QAction>(w, "mnuHelpAbout")->trigger();
    poll.stop();
    QCOMPARE(aboutTitle, language == QLatin1String("English")
                             ? QStringLiteral("About TESSORA-R")
                             : QStringLiteral("TESSORA-Rについて"));

    const QByteArray shots = qgetenv("TESSORA_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        const QDir dir(QString::fromLocal8Bit(shots));
        StoreConnection(QStringLiteral("Head office"), 33550);
        window.reset();
        window = OpenWindow();
        Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
        window->grab().save(dir.filePath(QStringLiteral("remote-main-%1.png").arg(language)));
    }
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSORA-R"));
    RemoteMainTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RemoteMainTest.moc"
