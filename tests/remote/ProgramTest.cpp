// TESSORAR as a program: its command line, a call placed with --connect, and SIGTERM and
// SIGINT closing it as Exit does. It runs from a scratch folder, never beside the build.
#include "RemoteTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Waits with the event loop running for a line of the program's output holding `text`.
bool WaitForOutput(QProcess& program, QByteArray& seen, const QByteArray& text, int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            seen += program.readAllStandardOutput();
            return seen.contains(text);
        },
        timeoutMs);
}

// True once the process has its own SIGINT and SIGTERM handlers in place (Linux /proc).
bool HandlesTerminationSignals(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        bool ok = false;
        const qulonglong caught = line.mid(7).trimmed().toULongLong(&ok, 16);
        const qulonglong wanted = (1ULL << (SIGINT - 1)) | (1ULL << (SIGTERM - 1));
        return ok && (caught & wanted) == wanted;
    }
    return false;
}

} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void helpListsTheConnectOption();
    void unknownConnectionIsRefusedBeforeAnythingIsSaved();
    void connectOptionCallsAndSigtermHangsUp();
    void sigintClosesAnIdleStation();
    void sigtermEndsAStationThatReportsAnUnreadableFile();

private:
    void StartProgram(QProcess& program, const QStringList& arguments);

    QTemporaryDir m_scratch;
    QString m_folder;
};

void ProgramTest::initTestCase() {
    QVERIFY(m_scratch.isValid());
    // The station keeps its files beside its executable: run a copy in a scratch folder.
    const QDir bin(QCoreApplication::applicationDirPath());
    m_folder = m_scratch.path();
    for (const char* name : {"TESSORAR", "TAVRINOSTANDARD.so"}) {
        const QString from = bin.filePath(QString::fromLatin1(name));
        QVERIFY2(QFileInfo::exists(from), qPrintable(from + QStringLiteral(" is missing")));
        QVERIFY(QFile::copy(from, QDir(m_folder).filePath(QString::fromLatin1(name))));
    }
    QDir(m_folder).mkpath(QStringLiteral("xdg/HALVORN Corporation"));
    Write(QDir(m_folder).filePath(QStringLiteral("xdg/HALVORN Corporation/TESSORA.conf")),
          "[General]\nLanguage=English\n");
}

void ProgramTest::StartProgram(QProcess& program, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TAVRINO_BIND_ADDRESS"), QStringLiteral("127.0.0.3"));
    env.insert(QStringLiteral("TAVRINO_CAPTURE"), QStringLiteral("silence"));
    env.insert(QStringLiteral("TAVRINO_PLAYBACK"), QStringLiteral("null"));
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), QDir(m_folder).filePath(QStringLiteral("xdg")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(m_folder).filePath(QStringLiteral("config")));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(m_folder);
    program.start(QDir(m_folder).filePath(QStringLiteral("TESSORAR")), arguments);
    QVERIFY(program.waitForStarted(5000));
}

void ProgramTest::helpListsTheConnectOption() {
    QProcess program;
    StartProgram(program, {QStringLiteral("--help")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    const QByteArray help = program.readAllStandardOutput();
    QVERIFY2(help.contains("--connect <NAME>"), help.constData());
}

void ProgramTest::unknownConnectionIsRefusedBeforeAnythingIsSaved() {
    const QString list = QDir(m_folder).filePath(QStringLiteral("Connect.dat"));
    const QString settings = QDir(m_folder).filePath(QStringLiteral("TESSORAR.ini"));
    QFile::remove(settings);
    const QByteArray stored = "ConnectName=Known&Description=&IP "
                              "Address=127.0.0.2&PortNo=47930&UserName=u&Password=p\r\n";
    Write(list, stored);
    QProcess program;
    StartProgram(program, {QStringLiteral("--connect"), QStringLiteral("Unknown")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(program.readAllStandardError().contains("\"Unknown\""));
    QCOMPARE(ReadAll(list), stored);
    QVERIFY(!QFileInfo::exists(settings));
}

void ProgramTest::connectOptionCallsAndSigtermHangsUp() {
    const int port = 47940;
    const QByteArray line = "ConnectName=Demo&Description=demo&IP Address=127.0.0.2&PortNo=" +
                            QByteArray::number(port) + "&UserName=demo&Password=demo&pass=word\r\n";
    Write(QDir(m_folder).filePath(QStringLiteral("Connect.dat")),
          "ConnectName=Other&Description=&IP Address=127.0.0.9&PortNo=2000&UserName=o&Password=o"
          "\r\n" +
              line);
    Write(QDir(m_folder).filePath(QStringLiteral("TESSORAR.ini")),
          "[INIT]\r\nSelectItem=Other\r\n");
    HostConsole host;
    QVERIFY2(host.started, qPrintable(host.error));
    QCOMPARE(host.Call("Initialize " + QByteArray::number(port) + " \"k\""), QByteArray("= TRUE"));

    QProcess program;
    StartProgram(program, {QStringLiteral("--connect"), QStringLiteral("Demo")});
    const QByteArray announced = host.TakeLine("! OnConnectionEvent", 15000);
    QCOMPARE(announced, "! OnConnectionEvent \"127.0.0.3\" " + QByteArray::number(port) +
                            " \"ID=demo\"");
    QCOMPARE(host.Call("AcceptSecureCall \"127.0.0.3\" " + QByteArray::number(port) +
                       " \"demo&pass=word\" 20"),
             QByteArray("= TRUE"));
    QByteArray output;
    QVERIFY2(WaitForOutput(program, output, "status 53: Successfully connected.", 10000),
             output.constData());

    program.terminate(); // SIGTERM
    QVERIFY(!host.TakeLine("! OnStatusEvent 54").isEmpty());
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    output += program.readAllStandardOutput();
    QVERIFY2(output.contains("traffic: sent "), output.constData());
    QCOMPARE(ReadAll(QDir(m_folder).filePath(QStringLiteral("TESSORAR.ini"))),
             QByteArray("[INIT]\r\nSelectItem=Demo\r\n"));
    QVERIFY(ReadAll(QDir(m_folder).filePath(QStringLiteral("Connect.dat"))).endsWith(line));
}

void ProgramTest::sigintClosesAnIdleStation() {
    const QString settings = QDir(m_folder).filePath(QStringLiteral("TESSORAR.ini"));
    Write(settings, "[INIT]\r\nSelectItem=Demo\r\nSelectItem=Other\r\n");
    QProcess program;
    StartProgram(program, {});
    QTRY_VERIFY_WITH_TIMEOUT(HandlesTerminationSignals(program.processId()), 10000);
    ::kill(static_cast<pid_t>(program.processId()), SIGINT);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // Saved on the way out: the last of the two lines had chosen Other.
    QCOMPARE(ReadAll(settings), QByteArray("[INIT]\r\nSelectItem=Other\r\n"));
    QCOMPARE(QFileInfo(settings).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
}

void ProgramTest::sigtermEndsAStationThatReportsAnUnreadableFile() {
    // A folder where the connection list should be: its box waits for an operator who is not there.
    const QString list = QDir(m_folder).filePath(QStringLiteral("Connect.dat"));
    const QByteArray kept = ReadAll(list);
    QFile::remove(list);
    QVERIFY(QDir(list).mkpath(QStringLiteral("keep")));
    QProcess program;
    StartProgram(program, {});
    QTRY_VERIFY_WITH_TIMEOUT(HandlesTerminationSignals(program.processId()), 10000);
    program.terminate(); // SIGTERM
    const bool ended = program.waitForFinished(10000);
    QDir(list).removeRecursively();
    Write(list, kept);
    QVERIFY(ended);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
}

QTEST_GUILESS_MAIN(ProgramTest)
#include "ProgramTest.moc"
