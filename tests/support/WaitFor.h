// SPDX-License-Identifier: GPL-3.0-or-later
// WaitFor: the one way a test waits for something to come about, with or without its event loop.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

// Runs the event loop until `condition` holds (true) or `timeoutMs` has passed (false).
// As QTest::qWaitFor, but `condition` is also asked right after each pause, before the
// loop runs again: what it reads straight from a pipe or socket is then judged before
// the loop handles whatever else came meanwhile (another process's end, say).
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    if (condition())
        return true; // never spin the loop for what already holds
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (condition())
            return true;
        if (const qint64 remaining = deadline.remainingTime(); remaining > 0)
            QTest::qSleep(int(std::min<qint64>(10, remaining)));
        if (condition())
            return true;
    } while (!deadline.hasExpired());
    return false;
}

// For what other threads alone bring about: checks `condition` every millisecond and runs
// no event loop, so a test without one needs none and queued events stay queued.
inline bool WaitForThreads(const std::function<bool()>& condition,
                           std::chrono::steady_clock::duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
inline bool WaitForThreads(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return WaitForThreads(condition, std::chrono::milliseconds(timeoutMs));
}
