// The two ending statuses that only time brings: the call set-up running out (20 s) and an
// established call going silent (15 to 30 s). CTest runs each function as its own test.
#include "NoProxy.h"
#include "RemoteTestSupport.h"
#include "TavrinoClient.h"
#include "frmMain.h"

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

std::unique_ptr<frmMain> CallHost(int port) {
    AddConnection(MakeRecord(QStringLiteral("Host"), QStringLiteral("pw"), QString::number(port)));
    if (!SaveConnectionList())
        return nullptr;
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
    QTest::addColumn<QString>("statusLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("Japanese") << QStringLiteral("Japanese")
                              << QStringLiteral("接続に失敗しました。")
                              << QStringLiteral("ネットワーク・エラーが検出されました。\r\n\r\n"
                                                "考えられる理由:\r\n"
                                                "ユーザー名、パスワード、IPアドレス、ポート番号が"
                                                "間違っている。\r\n"
                                                "ホスト・ステーションが稼働していない。");
}

void SlowStatusTest::unansweredCallTimesOut() {
    QFETCH(QString, language);
    QFETCH(QString, statusLine);
    QFETCH(QString, message);
    RemoteSandbox sandbox(language);
    MessageBoxRecorder recorder;
    const int port = 47910;
    // A host that hears the requests and never answers.
    QUdpSocket silentHost;
    QVERIFY(silentHost.bind(QHostAddress(QStringLiteral("127.0.0.2")), port));
    auto window = CallHost(port);
    QVERIFY(window);
    auto* toggle = Find<QPushButton>(window.get(), "chkConnect");
    auto* status = Find<QLabel>(window.get(), "lblStatus");
    QVERIFY(toggle->isChecked());
    QTRY_COMPARE(status->text(), QStringLiteral("接続中..."));

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
    QCOMPARE(host.Call("AcceptIncomingCall \"127.0.0.3\" " + QByteArray::number(port) + " 20"),
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
