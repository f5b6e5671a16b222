// The two ending statuses that only time brings: the call set-up running out (20 s) and an
// established call going silent (15 to 30 s). CTest runs each function as its own test.
#include "NoProxy.h"
#include "RemoteTestSupport.h"
#include "TavrinoClient.h"
#include "frmMain.h"
#include "modConnectionSecurity.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>

#include <memory>

namespace {

std::unique_ptr<frmMain> CallHost(int port, bool allowUnencrypted = false) {
    AddConnection(MakeRecord(QStringLiteral("Host"), QStringLiteral("pw"), QString::number(port)));
    if (!SaveConnectionList())
        return nullptr;
    SetAllowUnencrypted(QStringLiteral("Host"), allowUnencrypted);
    ClearConnections();
    g_blnConnectionActive = false;
    auto window = std::make_unique<frmMain>();
    window->show();
    Find<QComboBox>(window.get(), "cboConnectionName")->setCurrentIndex(0);
    Find<QPushButton>(window.get(), "chkConnect")->click();
    return window;
}

} // namespace

class SlowStatusTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void unansweredCallTimesOut_data();
    void unansweredCallTimesOut();
    void silentCallIsLost();
};

void SlowStatusTest::initTestCase() {
    UseNoProxy();
    const QString missing = UseControlOnRemoteAddress();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
}

void SlowStatusTest::unansweredCallTimesOut_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("allowUnencrypted");
    QTest::addColumn<QString>("statusLine");
    QTest::addColumn<QString>("message");
    // Encrypted only: the host did not answer the encrypted call, and what to do.
    QTest::newRow("encrypted") << QStringLiteral("English") << false
                               << QStringLiteral("Failed to connect.")
                               << QStringLiteral(
                                      "The host did not answer the encrypted call.\r\n\r\n"
                                      "Possibilities include:\r\n"
                                      "The User Name, IP address or/and the Port number is "
                                      "incorrect.\r\nThe host station does not operate.\r\n"
                                      "The host station is an older TESSORA-H, which cannot take "
                                      "encrypted calls. If you trust every network between the "
                                      "two stations, allow unencrypted calls in this "
                                      "connection's settings (File > Setup).");
    // Fallen back to the stated request, unanswered too: the stated box.
    QTest::newRow("fallen back, Japanese") << QStringLiteral("Japanese") << true
                              << QStringLiteral("接続に失敗しました。")
                              << QStringLiteral("ネットワーク・エラーが検出されました。\r\n\r\n"
                                                "考えられる理由:\r\n"
                                                "ユーザー名、パスワード、IPアドレス、ポート番号が"
                                                "間違っている。\r\n"
                                                "ホスト・ステーションが稼働していない。");
}

void SlowStatusTest::unansweredCallTimesOut() {
    QFETCH(QString, language);
    QFETCH(bool, allowUnencrypted);
    QFETCH(QString, statusLine);
    QFETCH(QString, message);
    RemoteSandbox sandbox(language);
    MessageBoxRecorder recorder;
    const int port = 47910;
    // A host that hears the requests and never answers.
    QUdpSocket silentHost;
    QVERIFY(silentHost.bind(QHostAddress(QStringLiteral("127.0.0.2")), port));
    auto window = CallHost(port, allowUnencrypted);
    QVERIFY(window);
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    QVERIFY(toggle->isChecked());
    QTRY_COMPARE(status->text(),
                 language == QLatin1String("Japanese") ? QStringLiteral("接続中...")
                                                       : QStringLiteral("Connecting..."));

    // The call is given 20 seconds.
    QTest::qWait(15000);
    QVERIFY(toggle->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(!toggle->isChecked(), 12000);
    QCOMPARE(status->text(), statusLine);
    QCOMPARE(recorder.boxes.size(), 1);
    QCOMPARE(recorder.boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(recorder.boxes[0].text, message);
    QVERIFY(!Find<TavrinoClient>(window.get(), "TavrinoStandard")
                 ->CallBool(Tavrino::DISPID_DISCONNECT));
    QVERIFY(silentHost.hasPendingDatagrams());
}

void SlowStatusTest::silentCallIsLost() {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    const int port = 47920;
    HostConsole host;
    QVERIFY2(host.started, qPrintable(host.error));
    QCOMPARE(host.Call("Initialize " + QByteArray::number(port) + " \"k\""), QByteArray("= TRUE"));
    auto window = CallHost(port);
    QVERIFY(window);
    QVERIFY(!host.TakeLine("! OnConnectionEvent").isEmpty());
    QCOMPARE(host.Call("AcceptSecureCall \"127.0.0.3\" " + QByteArray::number(port) +
                       " \"pw\" 20"),
             QByteArray("= TRUE"));
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    QTRY_COMPARE(status->text(), QStringLiteral("Successfully connected."));

    // The host vanishes without a hang-up; supervision notices within two periods.
    host.Kill();
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    QTRY_VERIFY_WITH_TIMEOUT(!toggle->isChecked(), 40000);
    QCOMPARE(status->text(), QStringLiteral("Connection is lost."));
    QVERIFY(recorder.boxes.isEmpty());
    QVERIFY(Find<QComboBox>(window.get(), "cboConnectionName")->isEnabled());
    QVERIFY(!Find<TavrinoClient>(window.get(), "TavrinoStandard")
                 ->CallBool(Tavrino::DISPID_DISCONNECT));
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSORA-R"));
    SlowStatusTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SlowStatusTest.moc"
