// A host station's voice control in its own process (tavrino-console on 127.0.0.2), driven
// line by line from a test while the remote window under test runs in the test's process.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class HostConsole {
public:
    HostConsole();
    ~HostConsole();

    // Starts the console. False, with Error() set, when it or the control is missing.
    bool Start();
    QString Error() const { return m_error; }

    void Send(const QByteArray& line);
    // Sends a command and waits for its "= ..." answer; the answer, or empty on time-out.
    QByteArray Call(const QByteArray& line, int timeoutMs = 5000);
    // Waits, with the test's event loop running, for an output line starting with `prefix`
    // that was not taken before; the line, or empty on time-out.
    QByteArray WaitForLine(const QByteArray& prefix, int timeoutMs = 10000);
    // Every line printed so far.
    QList<QByteArray> Lines();

    // Ends the process at once, as a crash or a pulled cable would: nothing more is sent.
    void Kill();

private:
    void ReadOutput();

    QProcess m_process;
    QByteArray m_partial;
    QList<QByteArray> m_lines;
    QList<bool> m_taken; // per line: already returned by WaitForLine
    QString m_error;
};
