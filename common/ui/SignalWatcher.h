// SPDX-License-Identifier: GPL-3.0-or-later
// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so that a
// station ends as its Exit command does (hang-up sent, files saved).
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

class SignalWatcher : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one watcher per process (a second one stays
    // inactive).
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    // False when the pipe could not be set up, or another watcher owns the
    // handlers: the signals then keep their earlier actions.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void closeRequested(int signalNumber);

private:
    void ReadPipe();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
