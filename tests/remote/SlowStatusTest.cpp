// SPDX-License-Identifier: GPL-3.0-or-later
// The ending statuses that time brings: the call set-up running out (20 s) and an established
// call going silent. The control's clocks are the engine tests' (on their virtual clock); here
// the window meets the real control, and only one case waits for the real time-out.
#include "RemoteTestSupport.h"
#include "TavrinoClient.h"
#include "frmMain.h"
#include "modConnectionSecurity.h"

#include <QComboBox>
#include <QLabel>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QUdpSocket>

#include <memory>

namespace {

using namespace Tavrino;

std::unique_ptr<frmMain> CallHost(int port, bool allowUnencrypted = false) {
    AddConnection(MakeRecord(QStringLiteral("Host"), QStringLiteral("pw"), QString::number(port)));
    if (!SaveConnectionList())
        return nullptr;
    SetAllowUnencrypted(QStringLiteral("Host"), allowUnencrypted);
    ClearConnections();
    g_blnConnectionActive = false;
    auto window = std::make_unique<frmMain>();
    window->Form_Load();
    window->show();
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
    Find<QPushButton>(window.get(), "chkConnect")->click();
    return window;
}

TavrinoClient* Control(frmMain* window) {
    return Find<TavrinoClient>(window, "TavrinoStandard");
}

class RemoteStatus : public testing::Test {
protected:
    void SetUp() override {
        const QString missing = UseControlOnRemoteAddress();
        ASSERT_TRUE(missing.isEmpty()) << missing;
        // A host that hears the requests and never answers, on a port of the system's choosing.
        ASSERT_TRUE(silentHost.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    }

    QUdpSocket silentHost;
};

} // namespace

// The one real wait: the control's own 20 s time-out ends an unanswered encrypted call, and the
// window tells what to do.
TEST_F(RemoteStatus, UnansweredCallTimesOutAfterTwentySeconds) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    auto window = CallHost(silentHost.localPort());
    ASSERT_TRUE(window);
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    ASSERT_TRUE(toggle->isChecked());
    ASSERT_TRUE(WaitFor([&] { return status->text() == QStringLiteral("Connecting..."); }));

    // The call is given 20 seconds.
    QTest::qWait(15000);
    ASSERT_TRUE(toggle->isChecked());
    ASSERT_TRUE(WaitFor([&] { return !toggle->isChecked(); }, 12000));
    ASSERT_EQ(status->text(), QStringLiteral("Failed to connect."));
    ASSERT_EQ(recorder.boxes.size(), 1);
    ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Warning);
    ASSERT_EQ(recorder.boxes[0].text,
              QStringLiteral("The host did not answer the encrypted call.\r\n\r\n"
                             "Possibilities include:\r\n"
                             "The User Name, IP address or/and the Port number is "
                             "incorrect.\r\nThe host station does not operate.\r\n"
                             "The host station is an older TESSORA-H, which cannot take "
                             "encrypted calls. If you trust every network between the "
                             "two stations, allow unencrypted calls in this "
                             "connection's settings (File > Setup)."));
    ASSERT_FALSE(Control(window.get())->CallBool(DISPID_DISCONNECT));
    ASSERT_TRUE(silentHost.hasPendingDatagrams());
}

// Fallen back to the stated request, unanswered too: the stated box. The control's time-out is
// delivered as soon as the stated request is out, 6 s into the call, instead of at 20 s.
TEST_F(RemoteStatus, FallenBackCallTimesOutWithTheStatedBox) {
    RemoteSandbox sandbox(QStringLiteral("Japanese"));
    MessageBoxRecorder recorder;
    auto window = CallHost(silentHost.localPort(), /*allowUnencrypted=*/true);
    ASSERT_TRUE(window);
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    ASSERT_TRUE(toggle->isChecked());
    ASSERT_TRUE(WaitFor([&] { return status->text() == QStringLiteral("接続中..."); }));
    ASSERT_TRUE(WaitFor(
        [&] {
            while (silentHost.hasPendingDatagrams())
                if (silentHost.receiveDatagram().data().startsWith('\x01'))
                    return true;
            return false;
        },
        10000));
    ASSERT_TRUE(toggle->isChecked());
    emit Control(window.get())->OnStatusEvent(STATUS_TIMEOUT);
    ASSERT_FALSE(toggle->isChecked());
    ASSERT_EQ(status->text(), QStringLiteral("接続に失敗しました。"));
    ASSERT_EQ(recorder.boxes.size(), 1);
    ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Warning);
    ASSERT_EQ(recorder.boxes[0].text,
              QStringLiteral("ネットワーク・エラーが検出されました。\r\n\r\n"
                             "考えられる理由:\r\n"
                             "ユーザー名、パスワード、IPアドレス、ポート番号が"
                             "間違っている。\r\n"
                             "ホスト・ステーションが稼働していない。"));
    ASSERT_FALSE(Control(window.get())->CallBool(DISPID_DISCONNECT));
}

// The host vanishes without a hang-up; the control's supervision (two silent periods, on the
// engine tests' clock) reports the loss, delivered here at once.
TEST_F(RemoteStatus, SilentCallIsLost) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    HostConsole host;
    ASSERT_TRUE(host.started) << host.error;
    ASSERT_EQ(host.Call("Initialize 0 \"k\""), QByteArray("= TRUE"));
    const QByteArray port = host.Call("GetLocalPort").mid(2);
    auto window = CallHost(port.toInt());
    ASSERT_TRUE(window);
    ASSERT_FALSE(host.TakeLine("! OnConnectionEvent").isEmpty());
    ASSERT_EQ(host.Call("AcceptSecureCall \"127.0.0.3\" " + port + " \"pw\" 20"),
              QByteArray("= TRUE"));
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    ASSERT_TRUE(
        WaitFor([&] { return status->text() == QStringLiteral("Successfully connected."); }));

    host.Kill();
    emit Control(window.get())->OnStatusEvent(STATUS_CONNECTION_LOST);
    ASSERT_FALSE(Find<QPushButton>(window.get(), "chkConnect")->isChecked());
    ASSERT_EQ(status->text(), QStringLiteral("Connection is lost."));
    ASSERT_TRUE(recorder.boxes.isEmpty());
    ASSERT_TRUE(Find<QComboBox>(window.get(), "cboConnectionName")->isEnabled());
    ASSERT_FALSE(Control(window.get())->CallBool(DISPID_DISCONNECT));
}
