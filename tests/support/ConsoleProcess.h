// SPDX-License-Identifier: GPL-3.0-or-later
// One tavrino-console process from the test's program folder, fed on standard
// input, its output collected line by line. Waits keep the test's event loop
// running, so a window under test in this process goes on working.
#pragma once

#include "WaitFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>

#include <algorithm>
#include <vector>

class ConsoleProcess {
public:
    // With these environment values added (the devices default to silence and null).
    explicit ConsoleProcess(const QMap<QString, QString>& environment = {},
                            const QStringList& arguments = {}) {
        const QString console =
            QDir(QCoreApplication::applicationDirPath()).filePath("tavrino-console");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TAVRINO_CAPTURE", "silence");
        env.insert("TAVRINO_PLAYBACK", "null");
        for (auto it = environment.begin(); it != environment.end(); ++it)
            env.insert(it.key(), it.value());
        process.setProcessEnvironment(env);
        process.start(console, arguments);
        started = process.waitForStarted(10000);
        if (!started)
            error = console + " did not start: " + process.errorString();
    }
    ~ConsoleProcess() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.write("quit\n");
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // The control module beside the console, as its --plugin argument.
    static QStringList PluginArguments() {
        return {"--plugin",
                QDir(QCoreApplication::applicationDirPath()).filePath("TAVRINOSTANDARD.so")};
    }

    // Written through at once, also when no event loop runs.
    void Write(const QByteArray& text) {
        process.write(text);
        process.waitForBytesWritten(5000);
    }
    // Sends a command and takes its "= ..." answer; the answer, or empty on time-out.
    QByteArray Call(const QByteArray& line, int timeoutMs = 5000) {
        Write(line + '\n');
        return TakeLine("= ", timeoutMs);
    }
    // Initializes the control with `key` on a port the system chooses; that port, or "0".
    QByteArray InitializeAnyPort(const QByteArray& key) {
        if (Call("Initialize 0 \"" + key + "\"") != "= TRUE")
            return "0";
        return Call("GetLocalPort").mid(2);
    }
    bool WaitForLine(const QByteArray& line, int timeoutMs = 10000) {
        return WaitUntil([&] { return std::count(lines.begin(), lines.end(), line) > 0; },
                         timeoutMs);
    }
    bool WaitForLines(std::size_t count, int timeoutMs = 10000) {
        return WaitUntil([&] { return lines.size() >= count; }, timeoutMs);
    }
    // The first line starting with `prefix` that no earlier TakeLine took; empty on time-out.
    QByteArray TakeLine(const QByteArray& prefix, int timeoutMs = 10000) {
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
    // Keeps reading output (so the pipe never fills) for `ms`.
    void Drain(int ms) {
        WaitUntil([] { return false; }, ms);
    }
    bool Finish(int timeoutMs = 15000) {
        // One that ended while its output was drained has already finished: waitForFinished
        // would say false for it.
        const bool finished =
            process.state() == QProcess::NotRunning || process.waitForFinished(timeoutMs);
        ReadLines();
        return finished;
    }
    // Ends the process at once, as a crash or a pulled cable would.
    void Kill() {
        process.kill();
        process.waitForFinished(3000);
    }

    QProcess process;
    bool started = false;
    QString error; // why it did not start
    std::vector<QByteArray> lines;

private:
    // Stops early, false, once the process has ended and `done` still does not hold.
    template <typename Done> bool WaitUntil(Done done, int timeoutMs) {
        bool held = false;
        WaitFor(
            [&] {
                // What the pipe holds now, read straight away: a line awaited is seen
                // before the event loop runs again and, say, reaps another process that
                // the test will still wait for.
                process.waitForReadyRead(0);
                ReadLines();
                held = done();
                return held || process.state() == QProcess::NotRunning;
            },
            timeoutMs);
        return held;
    }
    void ReadLines() {
        m_partial += process.readAllStandardOutput();
        for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0; m_partial.remove(0, end + 1)) {
            lines.push_back(m_partial.left(end));
            m_taken.push_back(false);
        }
    }

    QByteArray m_partial;
    std::vector<bool> m_taken;
};
