// SPDX-License-Identifier: GPL-3.0-or-later
// WaitFor: the one way a test waits for something that its event loop brings about.
#pragma once

#include <QTest>

#include <functional>

// Runs the event loop until `condition` holds (true) or `timeoutMs` has passed (false).
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
}
