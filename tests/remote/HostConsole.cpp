// A host station's voice control in its own process (tavrino-console on 127.0.0.2), driven
// line by line from a test while the remote window under test runs in the test's process.
#include "HostConsole.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTest>

HostConsole::HostConsole() = default;

HostConsole::~HostConsole() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool HostConsole::Start() {
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString console = bin.filePath(QStringLiteral("tavrino-console"));
    const QString plugin = bin.filePath(QStringLiteral("TAVRINOSTANDARD.so"));
    for (const QString& needed : {console, plugin}) {
        if (!QFileInfo::exists(needed)) {
            m_error = needed + QStringLiteral(" is missing: build it first");
            return false;
        }
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The remote under test binds 127.0.0.3 in this process; the host gets its own address.
    env.insert(QStringLiteral("TAVRINO_BIND_ADDRESS"), QStringLiteral("127.0.0.2"));
    env.insert(QStringLiteral("TAVRINO_CAPTURE"), QStringLiteral("silence"));
    env.insert(QStringLiteral("TAVRINO_PLAYBACK"), QStringLiteral("null"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { ReadOutput(); });
    m_process.start(console, {QStringLiteral("--plugin"), plugin});
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("tavrino-console did not start: ") + m_process.errorString();
        return false;
    }
    return true;
}

void HostConsole::Send(const QByteArray& line) {
    m_process.write(line + '\n');
}

QByteArray HostConsole::Call(const QByteArray& line, int timeoutMs) {
    Send(line);
    return WaitForLine("= ", timeoutMs);
}

QByteArray HostConsole::WaitForLine(const QByteArray& prefix, int timeoutMs) {
    QByteArray found;
    (void)QTest::qWaitFor(
        [&] {
            ReadOutput();
            for (qsizetype i = 0; i < m_lines.size(); ++i) {
                if (!m_taken[i] && m_lines[i].startsWith(prefix)) {
                    found = m_lines[i];
                    m_taken[i] = true;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

QList<QByteArray> HostConsole::Lines() {
    ReadOutput();
    return m_lines;
}

void HostConsole::Kill() {
    m_process.kill();
    m_process.waitForFinished(3000);
}

void HostConsole::ReadOutput() {
    m_partial += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines << m_partial.left(end);
        m_taken << false;
        m_partial.remove(0, end + 1);
    }
}
