// SPDX-License-Identifier: GPL-3.0-or-later
// ConsoleSession: runs tavrino-console's commands from standard input against one loaded control.
#pragma once

#include <QByteArray>
#include <QObject>

#include <deque>
#include <memory>

class QSocketNotifier;
class TavrinoClient;

// Threads: everything runs on the main thread. Standard input is read through a socket
// notifier as it becomes readable, so the event loop (and with it the control's events)
// keeps running between commands and during `wait`. Commands run one at a time, each
// from its own queued call, so the reports a command posts are printed before the next
// command runs.
class ConsoleSession : public QObject {
    Q_OBJECT
public:
    explicit ConsoleSession(TavrinoClient* client, QObject* parent = nullptr);
    ~ConsoleSession() override;

    // Prints the control's events from now on and starts reading standard input.
    void Start();

private:
    void OnInputReadable();
    void ScheduleNext();
    void RunNext();
    void Execute(const QByteArray& line);
    void EndWait();
    void Quit();
    static void Print(const QByteArray& line);

    TavrinoClient* m_client;
    std::unique_ptr<QSocketNotifier> m_input;
    QByteArray m_partial;           // input after the last complete line
    std::deque<QByteArray> m_lines; // complete lines not yet run
    bool m_endOfInput = false;
    bool m_waiting = false;
    bool m_scheduled = false;
    bool m_quitting = false;
};
