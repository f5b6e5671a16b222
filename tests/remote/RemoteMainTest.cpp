// SPDX-License-Identifier: GPL-3.0-or-later
// The remote main window against a real host control in its own process: the connect flow,
// every ending status, the user data on the wire, incoming calls, start-up and closing.
#include "RawPeer.h"
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
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>

#include <ctime>
#include <memory>
#include <optional>

namespace {

using namespace Tavrino;

constexpr const char* kHostAddress = "127.0.0.2";
constexpr const char* kRemoteAddress = "127.0.0.3";

// Stored for windows that never reach the control's port, or have no control at all.
constexpr int kStoredOnlyPort = 33550;

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
    ASSERT_TRUE(SaveConnectionList());
    ClearConnections();
}

QByteArray Quoted(const QString& text) {
    return '"' + text.toLocal8Bit() + '"';
}

// The next datagram `peer` has received by now, as bytes; empty when none is there.
QByteArray Take(const RawPeer& peer, RawPeer::Sender* from = nullptr) {
    const auto datagram = peer.Receive(0, from);
    return datagram ? QByteArray(reinterpret_cast<const char*>(datagram->data()),
                                 static_cast<qsizetype>(datagram->size()))
                    : QByteArray();
}

std::vector<uint8_t> Datagram(const QByteArray& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::unique_ptr<frmMain> OpenWindow() {
    g_blnConnectionActive = false; // as at program start; a manual hang-up leaves it set
    auto window = std::make_unique<frmMain>();
    if (!window->Form_Load())
        return nullptr;
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}

// The host console on a port of the system's choosing, set up: its port, or 0. The remote
// window binds the same port on its own address.
int StartHost(HostConsole& host, const QList<QByteArray>& setup = {}) {
    if (!host.started) {
        qWarning("%s", qPrintable(host.error));
        return 0;
    }
    if (host.Call("Initialize 0 \"Granite Granite Purple Moon\"") != "= TRUE")
        return 0;
    for (const QByteArray& line : setup)
        if (!host.Call(line).startsWith("= "))
            return 0;
    return host.Call("GetLocalPort").mid(2).toInt();
}

void Press(frmMain* window) {
    Find<QPushButton>(window, "chkConnect")->click();
}

class RemoteMain : public testing::Test {
protected:
    void SetUp() override {
        // The remote under test binds its own loopback address; the host console binds another.
        const QString missing = UseControlOnRemoteAddress();
        ASSERT_TRUE(missing.isEmpty()) << missing;
    }
};

} // namespace

TEST_F(RemoteMain, CallConnectsAndHangsUp) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    HostConsole host;
    const int port = StartHost(host, {"DisableCryptography"});
    ASSERT_NE(port, 0);
    StoreConnection(QStringLiteral("Host"), port, QStringLiteral("ユーザー=1"),
                    QStringLiteral("p&ss=wo&rd"));
    auto window = OpenWindow();
    ASSERT_TRUE(window);
    auto* combo = Find<QComboBox>(window.get(), "cboConnectionName");
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    auto* portLabel = Find<QLabel>(window.get(), "txtPortNumber");
    combo->setCurrentIndex(0);
    ASSERT_TRUE(portLabel->text().isEmpty());

    Press(window.get());
    ASSERT_TRUE(toggle->isChecked());
    ASSERT_TRUE(g_blnConnectionActive);
    ASSERT_FALSE(combo->isEnabled());
    ASSERT_FALSE(portLabel->isEnabled());
    ASSERT_EQ(portLabel->text(), QString::number(port));
    ASSERT_EQ(toggle->text(), QStringLiteral("&Disconnect"));
    ASSERT_EQ(toggle->toolTip(), QStringLiteral("Click to Disconnect"));
    ASSERT_EQ(Find<QAction>(window.get(), "mnuRunConnect")->text(), QStringLiteral("&Disconnect"));
    ASSERT_TRUE(WaitFor([&] { return status->text() == QStringLiteral("Connecting..."); }));
    auto* tray = Find<QSystemTrayIcon>(window.get(), "trayIcon");
    ASSERT_EQ(tray->toolTip(), QStringLiteral("TESSORA-R\nConnecting with Host..."));

    // The host sees the user name exactly as stored, from the remote's address and port,
    // and connects only with the very password.
    const QByteArray announced = host.TakeLine("! OnConnectionEvent");
    ASSERT_EQ(announced, "! OnConnectionEvent \"127.0.0.3\" " + QByteArray::number(port) + ' ' +
                             Quoted(QStringLiteral("ID=ユーザー=1")));
    ASSERT_EQ(host.Call("AcceptSecureCall \"127.0.0.3\" " + QByteArray::number(port) +
                        " \"p&ss=wo&rd\" 20"),
              QByteArray("= TRUE"));
    ASSERT_TRUE(
        WaitFor([&] { return status->text() == QStringLiteral("Successfully connected."); }));
    ASSERT_TRUE(toggle->isChecked());
    ASSERT_FALSE(combo->isEnabled());
    ASSERT_FALSE(host.TakeLine("! OnStatusEvent 53").isEmpty());
    ASSERT_EQ(tray->toolTip(), QStringLiteral("TESSORA-R\nIn a call with Host\nEncrypted"));

    // Both sides send voice frames now: both lamps light, each in place of its dark twin.
    for (const char* lit : {"picTx", "picRx"})
        ASSERT_TRUE(WaitFor([&] { return Find<QLabel>(window.get(), lit)->isVisible(); }, 5000));
    ASSERT_FALSE(Find<QLabel>(window.get(), "picTxBlack")->isVisible());
    ASSERT_FALSE(Find<QLabel>(window.get(), "picRxBlack")->isVisible());

    // Hanging up by hand: the host hears it, the window goes idle and clears its texts.
    Press(window.get());
    ASSERT_FALSE(host.TakeLine("! OnStatusEvent 54").isEmpty());
    ASSERT_FALSE(toggle->isChecked());
    ASSERT_TRUE(combo->isEnabled());
    ASSERT_TRUE(portLabel->isEnabled());
    ASSERT_TRUE(status->text().isEmpty());
    ASSERT_TRUE(portLabel->text().isEmpty());
    ASSERT_EQ(toggle->text(), QStringLiteral("&Connect"));
    ASSERT_EQ(toggle->toolTip(), QStringLiteral("Click to Connect"));
    ASSERT_EQ(Find<QAction>(window.get(), "mnuRunConnect")->text(), QStringLiteral("&Connect"));
    ASSERT_EQ(tray->toolTip(), QStringLiteral("TESSORA-R\nNot connected"));
    ASSERT_FALSE(ControlInitialised(window.get()));
    ASSERT_TRUE(
        WaitFor([&] { return Find<QLabel>(window.get(), "picTxBlack")->isVisible(); }, 3000));
    ASSERT_FALSE(Find<QLabel>(window.get(), "picTx")->isVisible());
    ASSERT_TRUE(recorder.boxes.isEmpty());
}

TEST_F(RemoteMain, EndingStatuses) {
    const QList<QByteArray> plain{"DisableCryptography"};
    const QByteArray accept = "AcceptSecureCall \"127.0.0.3\" %1 \"pw\" 20";
    const QByteArray wrongPassword = "AcceptSecureCall \"127.0.0.3\" %1 \"not pw\" 20";
    const QByteArray cancel = "CancelIncomingCall \"127.0.0.3\" %1";
    const QString br = QStringLiteral("\r\n");
    struct Row {
        const char* tag;
        QString language;
        QList<QByteArray> hostSetup;
        QByteArray hostAnswer; // to the announced call; "%1" is the port
        bool connectFirst;
        QByteArray hostAfterConnect;
        QString statusLine;
        QString message;
    };
    const Row rows[] = {
        {"55 busy", QStringLiteral("English"),
         QList<QByteArray>{"DisableCryptography", "EnableBusyState"}, QByteArray(), false,
         QByteArray(), QStringLiteral("The host station is busy."),
         QStringLiteral("The host station Busy") + br +
             QStringLiteral("The host station is currently being used by "
                            "another user.") +
             br + QStringLiteral("Connect to the host station later.")},
        {"55 busy, Japanese", QStringLiteral("Japanese"),
         QList<QByteArray>{"DisableCryptography", "EnableBusyState"}, QByteArray(), false,
         QByteArray(), QStringLiteral("ホスト・ステーションがビジーです。"),
         QStringLiteral("ホスト・ステーションがビジー") + br +
             QStringLiteral("ホスト・ステーションは現在ほかのユーザーによって使用されています。") +
             br + QStringLiteral("時間をおいて再度接続してください。")},
        {"56 unavailable", QStringLiteral("English"),
         QList<QByteArray>{"DisableCryptography", "EnableNotAvailableState"}, QByteArray(), false,
         QByteArray(), QStringLiteral("The host station is unavailable."),
         QStringLiteral("The host station is unavailable") + br +
             QStringLiteral("Because the administrator has stopped the host station, it is not "
                            "possible to use it.") +
             br + QStringLiteral("Please contact the administrator for details.")},
        {"56 unavailable, Japanese", QStringLiteral("Japanese"),
         QList<QByteArray>{"DisableCryptography", "EnableNotAvailableState"}, QByteArray(), false,
         QByteArray(), QStringLiteral("ホスト・ステーションが利用不可能です。"),
         QStringLiteral("ホスト・ステーションが利用不可能") + br +
             QStringLiteral("ホスト・ステーションが管理者によって停止されているため、使用できま"
                            "せん。") +
             br + QStringLiteral("詳細は管理者に問い合わせてください。")},
        // A secure reject: its own message, neither busy nor a wrong password.
        {"57 refused", QStringLiteral("English"), plain, cancel, false, QByteArray(),
         QStringLiteral("Connection request is rejected by the host station."),
         QStringLiteral("The host refused the call") + br +
             QStringLiteral("The host station refused this call. It may not be answering from "
                            "this address for a while, or its administrator has disabled your "
                            "user name.") +
             br + QStringLiteral("Try again later, or contact the administrator.")},
        {"57 refused, Japanese", QStringLiteral("Japanese"), plain, cancel, false, QByteArray(),
         QStringLiteral("接続要求がホスト・ステーションによって拒否されました。"),
         QStringLiteral("ホストが通話を拒否しました") + br +
             QStringLiteral("ホスト・ステーションはこの通話を拒否しました。しばらくの間このアド"
                            "レスからの通話に応答しないか、管理者があなたのユーザー名を無効にし"
                            "ている可能性があります。") +
             br + QStringLiteral("時間をおいて再度接続するか、管理者に問い合わせてください。")},
        {"57 wrong password", QStringLiteral("English"), plain, wrongPassword, false, QByteArray(),
         QStringLiteral("Connection request is rejected by the host station."),
         QStringLiteral("The host did not accept the password") + br +
             QStringLiteral("The host station did not accept this user name and password.") + br +
             QStringLiteral("Check the user name and the password in this connection's settings "
                            "(File > Setup).")},
        {"54 host hangs up", QStringLiteral("English"), plain, accept, true,
         QByteArray("Disconnect"),
         QStringLiteral("Connection is disconnected by the host station."), QString()},
        {"54 host hangs up, Japanese", QStringLiteral("Japanese"), plain, accept, true,
         QByteArray("Disconnect"), QStringLiteral("接続がホスト・ステーションから切断されました。"),
         QString()},
        // The host encrypts its voice while the remote runs with encryption off.
        {"58 encrypted voice", QStringLiteral("English"), QList<QByteArray>{"EnableCryptography"},
         accept, false, QByteArray(),
         QStringLiteral("Receiving Encrypted Data, please enable the TavrinoVoIP Cryptography "
                        "feature."),
         QString()},
        {"58 encrypted voice, Japanese", QStringLiteral("Japanese"),
         QList<QByteArray>{"EnableCryptography"}, accept, false, QByteArray(),
         QStringLiteral("暗号化されたデータを受信しました。TavrinoVoIP暗号を有効にしてください。"),
         QString()},
    };
    for (const auto& [tag, language, hostSetup, hostAnswer, connectFirst, hostAfterConnect,
                      statusLine, message] : rows) {
        SCOPED_TRACE(tag);

        RemoteSandbox sandbox(language);
        MessageBoxRecorder recorder;
        HostConsole host;
        const int port = StartHost(host, hostSetup);
        ASSERT_NE(port, 0);
        StoreConnection(QStringLiteral("Host"), port);
        auto window = OpenWindow();
        ASSERT_TRUE(window);
        auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
        auto* status = Find<QLabel>(window.get(), "lblStatus");
        Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
        Press(window.get());
        ASSERT_TRUE(toggle->isChecked());

        if (!hostAnswer.isEmpty()) {
            ASSERT_FALSE(host.TakeLine("! OnConnectionEvent").isEmpty());
            ASSERT_EQ(host.Call(QByteArray(hostAnswer).replace("%1", QByteArray::number(port))),
                      QByteArray("= TRUE"));
        }
        if (connectFirst) {
            ASSERT_FALSE(host.TakeLine("! OnStatusEvent 53").isEmpty());
            ASSERT_TRUE(WaitFor([&] { return toggle->isChecked() && g_blnConnectionActive; }));
            ASSERT_EQ(host.Call(hostAfterConnect), QByteArray("= TRUE"));
        }

        // The ending status unchecks the toggle, tears the control down and stays on show.
        ASSERT_TRUE(WaitFor([&] { return !toggle->isChecked(); }, 10000));
        ASSERT_EQ(status->text(), statusLine);
        ASSERT_FALSE(g_blnConnectionActive);
        ASSERT_TRUE(Find<QComboBox>(window.get(), "cboConnectionName")->isEnabled());
        ASSERT_EQ(Find<QLabel>(window.get(), "txtPortNumber")->text(), QString::number(port));
        ASSERT_EQ(toggle->text(), language == QLatin1String("English")
                                      ? QStringLiteral("&Connect")
                                      : QStringLiteral("接続(&C)"));
        ASSERT_FALSE(ControlInitialised(window.get()));
        if (message.isEmpty()) {
            ASSERT_TRUE(recorder.boxes.isEmpty());
        } else {
            ASSERT_EQ(recorder.boxes.size(), 1);
            ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Warning);
            ASSERT_EQ(recorder.boxes[0].title, QStringLiteral("TESSORA-R"));
            ASSERT_EQ(recorder.boxes[0].text, message);
        }
        // Any answer to the encrypted request pins the connection; busy is no such answer.
        EXPECT_EQ(LoadConnectionSecurity(QStringLiteral("Host")).pinned, !hostAnswer.isEmpty());
        // Nothing more arrives once the control is down.
        ASSERT_FALSE(WaitFor(
            [&] {
                return status->text() != statusLine ||
                       recorder.boxes.size() != (message.isEmpty() ? 0 : 1);
            },
            300));
    }
}

TEST_F(RemoteMain, StatusWhileIdleChangesOnlyTheTexts) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    StoreConnection(QStringLiteral("Host"), kStoredOnlyPort);
    auto window = OpenWindow();
    ASSERT_TRUE(window);
    auto* control = Find<TavrinoClient>(window.get(), "TavrinoStandard");
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    QSignalSpy toggles(toggle, &QPushButton::toggled);

    // As if a late report were delivered after the call had already ended.
    emit control->OnStatusEvent(STATUS_CALL_REJECTED);
    ASSERT_EQ(toggles.count(), 0);
    ASSERT_FALSE(toggle->isChecked());
    ASSERT_EQ(status->text(),
              QStringLiteral("Connection request is rejected by the host station."));
    ASSERT_EQ(recorder.boxes.size(), 1);
    ASSERT_FALSE(ControlInitialised(window.get()));

    // 51 and 53 touch only the line; codes outside the table change nothing at all.
    emit control->OnStatusEvent(STATUS_CONNECTED);
    ASSERT_EQ(status->text(), QStringLiteral("Successfully connected."));
    for (qint32 code : {49, 59, 0, -1}) {
        emit control->OnStatusEvent(code);
        ASSERT_EQ(status->text(), QStringLiteral("Successfully connected."));
    }
    emit control->OnStatusEvent(STATUS_CONNECTION_LOST);
    ASSERT_EQ(status->text(), QStringLiteral("Connection is lost."));
    ASSERT_EQ(recorder.boxes.size(), 1);

    // The time-out's box keeps an empty line after its first line.
    emit control->OnStatusEvent(STATUS_TIMEOUT);
    ASSERT_EQ(status->text(), QStringLiteral("Failed to connect."));
    ASSERT_EQ(recorder.boxes.size(), 2);
    ASSERT_EQ(recorder.boxes[1].icon, QMessageBox::Warning);
    ASSERT_EQ(recorder.boxes[1].text,
              QStringLiteral("A network error is detected.\r\n\r\nPossibilities include:\r\n"
                             "The User Name, the Password, IP address or/and the Port number is "
                             "incorrect.\r\nThe host station does not operate."));
    ASSERT_EQ(toggles.count(), 0);
}

TEST_F(RemoteMain, NoSelection) {
    struct Row {
        const char* tag;
        QString language;
        bool emptyList;
        QString expected;
    };
    const Row rows[] = {
        {"empty list", QStringLiteral("English"), true,
         QStringLiteral("Please select Connection Name.")},
        {"nothing chosen, Japanese", QStringLiteral("Japanese"), false,
         QStringLiteral("接続名を選択してください。")},
    };
    for (const auto& [tag, language, emptyList, expected] : rows) {
        SCOPED_TRACE(tag);

        RemoteSandbox sandbox(language);
        MessageBoxRecorder recorder;
        if (!emptyList)
            StoreConnection(QStringLiteral("Host"), kStoredOnlyPort);
        auto window = OpenWindow();
        ASSERT_TRUE(window);
        auto* combo = Find<QComboBox>(window.get(), "cboConnectionName");
        ASSERT_EQ(combo->count(), emptyList ? 0 : 1);
        ASSERT_EQ(combo->currentIndex(), -1);
        Press(window.get());
        ASSERT_FALSE(Find<QPushButton>(window.get(), "chkConnect")->isChecked());
        ASSERT_TRUE(combo->isEnabled());
        ASSERT_TRUE(Find<QLabel>(window.get(), "txtPortNumber")->text().isEmpty());
        ASSERT_FALSE(ControlInitialised(window.get()));
        ASSERT_EQ(recorder.boxes.size(), 1);
        ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Critical);
        ASSERT_EQ(recorder.boxes[0].title, QStringLiteral("TESSORA-R"));
        ASSERT_EQ(recorder.boxes[0].text, expected);
    }
}

TEST_F(RemoteMain, FailedInitializeShowsTheObjectError) {
    struct Row {
        const char* tag;
        QString language;
        QString expected;
    };
    const Row rows[] = {
        {"English", QStringLiteral("English"),
         QStringLiteral("Local communication port could not be opened or "
                        "Port is already in use.")},
        {"Japanese", QStringLiteral("Japanese"),
         QStringLiteral("ローカル通信ポートが開けません、あるいはポートは既"
                        "に使用中です。")},
    };
    for (const auto& [tag, language, expected] : rows) {
        SCOPED_TRACE(tag);

        RemoteSandbox sandbox(language);
        MessageBoxRecorder recorder;
        std::optional<RawPeer> squatter(std::in_place, kRemoteAddress);
        const int port = squatter->Port();
        ASSERT_NE(port, -1);
        StoreConnection(QStringLiteral("Host"), port);
        auto window = OpenWindow();
        ASSERT_TRUE(window);
        Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
        Press(window.get());
        auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
        ASSERT_FALSE(toggle->isChecked());
        ASSERT_FALSE(g_blnConnectionActive);
        ASSERT_TRUE(Find<QComboBox>(window.get(), "cboConnectionName")->isEnabled());
        ASSERT_EQ(recorder.boxes.size(), 1);
        ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Critical);
        ASSERT_EQ(recorder.boxes[0].text, expected);
        // Once the port is free the same connection works.
        squatter.reset();
        Press(window.get());
        ASSERT_TRUE(toggle->isChecked());
        Press(window.get());
        ASSERT_EQ(recorder.boxes.size(), 1);
    }
}

TEST_F(RemoteMain, MissingControlIsReported) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    StoreConnection(QStringLiteral("Host"), kStoredOnlyPort);
    frmMain window(QStringLiteral("/nonexistent/TAVRINOSTANDARD.so"));
    ASSERT_TRUE(window.Form_Load()); // the remote works on without its control
    Find<QComboBox>(&window, "cboConnectionName")->setCurrentIndex(0);
    Press(&window);
    ASSERT_FALSE(Find<QPushButton>(&window, "chkConnect")->isChecked());
    ASSERT_EQ(recorder.boxes.size(), 1);
    ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Critical);
    ASSERT_TRUE(recorder.boxes[0].text.startsWith(
        QStringLiteral("The voice control could not be loaded.\r\n")))
        << recorder.boxes[0].text;
    // Its lamps stay dark without a word; a control that stops answering is reported (424).
    ASSERT_FALSE(WaitFor([&] { return recorder.boxes.size() != 1; }, 700));
    ASSERT_FALSE(Find<QLabel>(&window, "picRxBlack")->isHidden());
    auto live = OpenWindow();
    Find<TavrinoClient>(live.get(), "TavrinoStandard")->Unload();
    ASSERT_TRUE(WaitFor([&] { return recorder.Texts().contains(QStringLiteral("424")); }, 3000));
}

TEST_F(RemoteMain, UserDataOnTheWireAndIncomingCallsCancelled) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    // A bare socket stands in for the host: it sees the request exactly as sent.
    const RawPeer hostSocket(kHostAddress);
    const int port = hostSocket.Port();
    ASSERT_NE(port, -1);
    const QString user = QStringLiteral("Ünïcode=ユーザー");
    const QString password = QStringLiteral("&Password=x&ID=y=");
    StoreConnection(QStringLiteral("Wire"), port, user, password);
    SetAllowUnencrypted(QStringLiteral("Wire"), true);
    auto window = OpenWindow();
    ASSERT_TRUE(window);
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
    const auto before = static_cast<quint32>(std::time(nullptr));
    Find<QAction>(window.get(), "mnuRunConnect")->trigger();
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    ASSERT_TRUE(toggle->isChecked());

    QByteArray secure;
    RawPeer::Sender sender;
    ASSERT_TRUE(WaitFor([&] { return !(secure = Take(hostSocket, &sender)).isEmpty(); }));
    ASSERT_EQ(sender.address, kRemoteAddress);
    ASSERT_EQ(sender.port, port);
    // First encrypted: version 1, flags (wideband voice, on by default, and call reports),
    // sid, share, the user name; never the password.
    const QByteArray name = user.toLocal8Bit();
    ASSERT_EQ(secure.left(3), QByteArray("\x14\x01\x03", 3));
    ASSERT_EQ(secure.size(), 3 + 16 + 32 + name.size() + 1);
    ASSERT_EQ(secure.right(name.size() + 1), name + '\0');
    ASSERT_FALSE(secure.contains(password.toLocal8Bit()));
    // Unanswered, a connection that may fall back sends the stated request 6 s on.
    QByteArray bytes;
    ASSERT_TRUE(WaitFor(
        [&] {
            while (!(bytes = Take(hostSocket)).isEmpty())
                if (bytes.startsWith('\x01'))
                    return true;
            return false;
        },
        10000));
    const QByteArray userData =
        (QStringLiteral("ID=") + user + QStringLiteral("&Password=") + password).toLocal8Bit();
    ASSERT_EQ(bytes.size(), 1 + userData.size() + 1 + 8);
    ASSERT_EQ(quint8(bytes[0]), quint8(1));
    ASSERT_EQ(bytes.mid(1, userData.size()), userData);
    ASSERT_EQ(bytes[1 + userData.size()], '\0');
    const QByteArray token = bytes.right(8);
    const quint32 seconds = quint8(token[0]) | quint8(token[1]) << 8 | quint8(token[2]) << 16 |
                            quint32(quint8(token[3])) << 24;
    ASSERT_TRUE(seconds >= before + 5 && seconds <= before + 10);

    // A station calling the remote is turned away with its own token; the call goes on.
    const RawPeer caller("127.0.0.4");
    const QByteArray callerToken("\x11\x22\x33\x44\x55\x66\x77\x88", 8);
    ASSERT_TRUE(caller.SendTo(
        kRemoteAddress, port,
        Datagram(QByteArray("\x01", 1) + "ID=x&Password=y" + '\0' + callerToken)));
    QByteArray reject;
    ASSERT_TRUE(WaitFor([&] { return !(reject = Take(caller)).isEmpty(); }));
    ASSERT_EQ(reject, QByteArray("\x0d", 1) + callerToken);
    ASSERT_TRUE(toggle->isChecked());
    ASSERT_EQ(Find<QLabel>(window.get(), "lblStatus")->text(), QStringLiteral("Connecting..."));
    ASSERT_TRUE(recorder.boxes.isEmpty());

    // Run > Connect toggles back: the call is dropped and the texts cleared.
    Find<QAction>(window.get(), "mnuRunConnect")->trigger();
    ASSERT_FALSE(toggle->isChecked());
    ASSERT_TRUE(Find<QLabel>(window.get(), "lblStatus")->text().isEmpty());
    ASSERT_FALSE(ControlInitialised(window.get()));
}

TEST_F(RemoteMain, StartupSelection) {
    struct Row {
        const char* tag;
        QByteArray settings;
        int selected;
    };
    const Row rows[] = {
        {"first of two equal names", QByteArray("[INIT]\r\nSelectItem=Twin\r\n"), 1},
        {"last line wins", QByteArray("[INIT]\r\nSelectItem=Other\r\nSelectItem=First\r\n"), 0},
        {"name no longer stored", QByteArray("[INIT]\r\nSelectItem=Gone\r\n"), -1},
        {"letter case differs", QByteArray("[INIT]\r\nSelectItem=twin\r\n"), -1},
        {"name holding =", QByteArray("[INIT]\r\nSelectItem=A=B\r\n"), -1},
        {"no settings file", QByteArray(), -1},
    };
    for (const auto& [tag, settings, selected] : rows) {
        SCOPED_TRACE(tag);

        RemoteSandbox sandbox;
        MessageBoxRecorder recorder; // "last line wins" keeps the file aside, and says so
        for (const char* name : {"First", "Twin", "Twin", "A=B"})
            AddConnection(MakeRecord(QString::fromLatin1(name)));
        ASSERT_TRUE(SaveConnectionList());
        ClearConnections();
        if (!settings.isEmpty())
            sandbox.Write(QStringLiteral("TESSORAR.ini"), settings);
        auto window = OpenWindow();
        ASSERT_TRUE(window);
        auto* combo = Find<QComboBox>(window.get(), "cboConnectionName");
        ASSERT_EQ(combo->count(), 4);
        ASSERT_EQ(combo->itemText(3), QStringLiteral("A=B"));
        ASSERT_EQ(combo->currentIndex(), selected);
    }
}

TEST_F(RemoteMain, SetupMenuReselectsByName) {
    RemoteSandbox sandbox;
    for (const char* name : {"A", "B", "C"})
        AddConnection(MakeRecord(QString::fromLatin1(name)));
    ASSERT_TRUE(SaveConnectionList());
    ClearConnections();
    auto window = OpenWindow();
    ASSERT_TRUE(window);
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
    QObject::connect(&poll, &QTimer::timeout, [&] { deleteFirst(); });
    poll.start(10);
    Find<QAction>(window.get(), "mnuFileSetup")->trigger();
    ASSERT_EQ(setups, 1);
    ASSERT_EQ(combo->count(), 2);
    ASSERT_EQ(combo->currentIndex(), 0);
    ASSERT_EQ(combo->currentText(), QStringLiteral("B"));

    // Deleting the selected one leaves nothing selected.
    Find<QAction>(window.get(), "mnuFileSetup")->trigger();
    ASSERT_EQ(setups, 2);
    ASSERT_EQ(combo->count(), 1);
    ASSERT_EQ(combo->currentIndex(), -1);
}

TEST_F(RemoteMain, ClosingHangsUpAndSaves) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    HostConsole host;
    const int port = StartHost(host, {"DisableCryptography"});
    ASSERT_NE(port, 0);
    sandbox.Write(
        QStringLiteral("Connect.dat"),
        "ConnectName=Other&Description=&IP Address=127.0.0.2&PortNo=" + QByteArray::number(port) +
            "&UserName=u&Password=p\r\nConnectName=Host&Description=d&IP "
            "Address=127.0.0.2&PortNo=" +
            QByteArray::number(port) + "&UserName=user&Password=a&b\r\n");
    auto window = OpenWindow();
    ASSERT_TRUE(window);
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(1);
    Press(window.get());
    ASSERT_FALSE(host.TakeLine("! OnConnectionEvent").isEmpty());
    host.Call("AcceptSecureCall \"127.0.0.3\" " + QByteArray::number(port) + " \"a&b\" 20");
    ASSERT_FALSE(host.TakeLine("! OnStatusEvent 53").isEmpty());

    ASSERT_TRUE(window->close());
    ASSERT_FALSE(host.TakeLine("! OnStatusEvent 54").isEmpty());
    ASSERT_EQ(sandbox.Read(QStringLiteral("TESSORAR.ini")),
              QByteArray("[INIT]\r\nSelectItem=Host\r\n"));
    ASSERT_EQ(
        sandbox.Read(QStringLiteral("Connect.dat")),
        "ConnectName=Other&Description=&IP Address=127.0.0.2&PortNo=" + QByteArray::number(port) +
            "&UserName=u&Password=p\r\nConnectName=Host&Description=d&IP "
            "Address=127.0.0.2&PortNo=" +
            QByteArray::number(port) + "&UserName=user&Password=a&b\r\n");
    // The control is down: the port is free again.
    const RawPeer probe(kRemoteAddress, port);
    ASSERT_NE(probe.Port(), -1);
    ASSERT_TRUE(recorder.boxes.isEmpty());
}

// The store only tells; at the close the window shows each file it could not save.
TEST_F(RemoteMain, ClosingShowsEachFileThatCouldNotBeSaved) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    auto window = OpenWindow();
    ASSERT_TRUE(window);
    QStringList expected;
    for (const QString& name : {QStringLiteral("Connect.dat"), QStringLiteral("TESSORAR.ini")}) {
        ASSERT_TRUE(QDir(sandbox.Path()).mkpath(name + QStringLiteral("/keep"))); // in the way
        expected << QStringLiteral("The file \"%1\" could not be saved.\r\n"
                                   "Check that the program's folder can be written to.")
                        .arg(sandbox.File(name));
    }
    ASSERT_TRUE(window->close());
    ASSERT_EQ(recorder.Texts(), expected);
    for (const RecordedBox& box : recorder.boxes)
        ASSERT_EQ(box.icon, QMessageBox::Critical);
}

TEST_F(RemoteMain, CaptionsInBothLanguages) {
    struct Row {
        const char* tag;
        QString language;
        QStringList texts;
    };
    const Row rows[] = {
        {"English", QStringLiteral("English"),
         QStringList{"TESSORA-R VoIP Program (for Remote Station)", "&File", "&Setup...", "E&xit",
                     "&Run", "&Connect", "&Help", "&Help...", "&About TESSORA-R...",
                     "Connection Settings", "Connection &Name:", "Connection Name", "Port Number:",
                     "&Connect", "Click to Connect", "VoIP", "Rx", "Tx", "Connection Status"}},
        {"Japanese", QStringLiteral("Japanese"),
         QStringList{"TESSORA-R VoIP Program (for Remote Station)", "ファイル(&F)", "設定(&S)...",
                     "終了(&X)", "実行(&R)", "接続(&C)", "ヘルプ(&H)", "ヘルプ(&H)...",
                     "TESSORA-Rについて(&A)...", "接続設定", "接続名(&N)：", "接続名",
                     "ポート番号：", "接続(&C)", "接続はここをクリック", "VoIP", "受信", "送信",
                     "接続状況"}},
    };
    for (const auto& [tag, language, texts] : rows) {
        SCOPED_TRACE(tag);

        RemoteSandbox sandbox(language);
        auto window = OpenWindow();
        ASSERT_TRUE(window);
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
        ASSERT_EQ(actual, texts);
        ASSERT_TRUE(Find<QAction>(w, "mnuFileLine")->isSeparator());
        ASSERT_TRUE(Find<QAction>(w, "mnuHelpLine")->isSeparator());
        const QFont big = Find<QPushButton>(w, "chkConnect")->font();
        ASSERT_EQ(big.pointSize(), 16);
        ASSERT_TRUE(big.bold());
        ASSERT_EQ(w->font().pointSize(), 9);
        ASSERT_EQ(Find<QTimer>(w, "tmrUpdateVoipStatus")->interval(), 500);
        ASSERT_TRUE(Find<QTimer>(w, "tmrUpdateVoipStatus")->isActive());
        for (const char* picture : {"picRx", "picRxBlack", "picTx", "picTxBlack", "imgHalvornLogo"})
            ASSERT_FALSE(Find<QLabel>(w, picture)->pixmap().isNull()) << picture;
        // At rest both lamps are dark.
        ASSERT_TRUE(Find<QLabel>(w, "picRxBlack")->isVisible() &&
                    !Find<QLabel>(w, "picRx")->isVisible());
        ASSERT_TRUE(Find<QLabel>(w, "picTxBlack")->isVisible() &&
                    !Find<QLabel>(w, "picTx")->isVisible());

        // Help opens the remote's file in the active language, at the main window's topic.
        const QString helpFile = QStringLiteral("TESSORAR(%1).qhc").arg(language);
        ASSERT_TRUE(
            w->property("tessoraHelpFile").toString().endsWith(QLatin1Char('/') + helpFile));
        ASSERT_EQ(w->property("tessoraHelpContext").toInt(), 1001);

        // Help > About shows the remote's about box, modal.
        QString aboutTitle;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&aboutTitle] {
            if (auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                aboutTitle = about->windowTitle();
                about->reject();
            }
        });
        poll.start(10);
        Find<QAction>(w, "mnuHelpAbout")->trigger();
        poll.stop();
        ASSERT_EQ(aboutTitle, language == QLatin1String("English")
                                  ? QStringLiteral("About TESSORA-R")
                                  : QStringLiteral("TESSORA-Rについて"));

        const QByteArray shots = qgetenv("TESSORA_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            const QDir dir(QString::fromLocal8Bit(shots));
            StoreConnection(QStringLiteral("Head office"), kStoredOnlyPort);
            window.reset();
            window = OpenWindow();
            Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
            window->grab().save(dir.filePath(QStringLiteral("remote-main-%1.png").arg(language)));
        }
    }
}
