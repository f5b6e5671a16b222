// One tavrino-console process driven by a test.
#include "ConsoleProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <algorithm>

ConsoleProcess::ConsoleProcess(const QMap<QString, QString>& environment,
                               const QStringList& arguments) {
    const QString console =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tavrino-console"));
    if (!QFileInfo::exists(console)) {
        error = console + QStringLiteral(" is missing: build it first");
        return;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TAVRINO_CAPTURE"), QStringLiteral("silence"));
    env.insert(QStringLiteral("TAVRINO_PLAYBACK"), QStringLiteral("null"));
    for (auto it = environment.begin(); it != environment.end(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(console, arguments);
    started = process.waitForStarted(10000);
    if (!started)
        error = QStringLiteral("tavrino-console did not start: ") + process.errorString();
}

ConsoleProcess::~ConsoleProcess() {
    if (process.state() == QProcess::NotRunning)
        return;
    process.write("quit\n");
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QStringList ConsoleProcess::PluginArguments() {
    return {QStringLiteral("--plugin"), QDir(QCoreApplication::applicationDirPath())
                                            .filePath(QStringLiteral("TAVRINOSTANDARD.so"))};
}

void ConsoleProcess::Write(const QByteArray& text) {
    process.write(text);
    process.waitForBytesWritten(5000);
}

QByteArray ConsoleProcess::Call(const QByteArray& line, int timeoutMs) {
    Write(line + '\n');
    return TakeLine("= ", timeoutMs);
}

bool ConsoleProcess::WaitForLine(const QByteArray& line, int timeoutMs) {
    return WaitUntil([&] { return Find(line) >= 0; }, timeoutMs);
}

bool ConsoleProcess::WaitForLines(std::size_t count, int timeoutMs) {
    return WaitUntil([&] { return lines.size() >= count; }, timeoutMs);
}

QByteArray ConsoleProcess::TakeLine(const QByteArray& prefix, int timeoutMs) {
    QByteArray found;
    WaitUntil(
        [&] {
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (!m_taken[i] && lines[i].startsWith(prefix)) {
                    m_taken[i] = true;
                    found = lines[i];
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

long ConsoleProcess::Find(const QByteArray& line) const {
    const auto at = std::find(lines.begin(), lines.end(), line);
    return at == lines.end() ? -1 : static_cast<long>(at - lines.begin());
}

void ConsoleProcess::Drain(int ms) {
    WaitUntil([] { return false; }, ms);
}

bool ConsoleProcess::Finish(int timeoutMs) {
    const bool finished = process.waitForFinished(timeoutMs);
    ReadLines();
    return finished;
}

void ConsoleProcess::Kill() {
    process.kill();
    process.waitForFinished(3000);
}

template <typename Done> bool ConsoleProcess::WaitUntil(Done done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        ReadLines();
        if (done())
            return true;
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        process.waitForReadyRead(
            static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, 10)));
    }
}

void ConsoleProcess::ReadLines() {
    m_partial += process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        lines.push_back(m_partial.left(end));
        m_taken.push_back(false);
        m_partial.remove(0, end + 1);
    }
}
