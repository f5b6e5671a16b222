// One tavrino-console process from the test's program folder, fed on standard
// input; its output is collected line by line. Waits keep the test's event
// loop running, so a window under test in this process goes on working.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <vector>

class ConsoleProcess {
public:
    // Starts the console with these environment values added (the capture
    // and playback devices default to silence and null) and these arguments.
    explicit ConsoleProcess(const QMap<QString, QString>& environment = {},
                            const QStringList& arguments = {});
    // Asks the console to quit, then kills it if it will not.
    ~ConsoleProcess();
    ConsoleProcess(const ConsoleProcess&) = delete;
    ConsoleProcess& operator=(const ConsoleProcess&) = delete;

    // The console and the control module beside it, as an --plugin argument.
    static QStringList PluginArguments();

    // Written through at once, also when no event loop runs.
    void Write(const QByteArray& lines);
    // Sends a command and takes its "= ..." answer; the answer, or empty on time-out.
    QByteArray Call(const QByteArray& line, int timeoutMs = 5000);

    // Whether a line equal to `line` has been printed, waiting up to `timeoutMs`.
    bool WaitForLine(const QByteArray& line, int timeoutMs = 10000);
    bool WaitForLines(std::size_t count, int timeoutMs = 10000);
    // The first line starting with `prefix` that no earlier TakeLine took;
    // empty on time-out.
    QByteArray TakeLine(const QByteArray& prefix, int timeoutMs = 10000);
    // Index of the first line equal to `line`, or -1.
    long Find(const QByteArray& line) const;
    // Keeps reading output (so the pipe never fills) for `ms`.
    void Drain(int ms);
    // Waits for the console to end by itself.
    bool Finish(int timeoutMs = 15000);
    // Ends the process at once, as a crash or a pulled cable would.
    void Kill();

    QProcess process;
    bool started = false;
    QString error; // why it did not start
    std::vector<QByteArray> lines;

private:
    template <typename Done> bool WaitUntil(Done done, int timeoutMs);
    void ReadLines();

    QByteArray m_partial;
    std::vector<bool> m_taken;
};
