// SPDX-License-Identifier: GPL-3.0-or-later
// Sockets in the tests reach loopback addresses only, never through a proxy.
#pragma once

#include <QNetworkProxy>

// Without this, the first socket a test binds makes Qt ask the system for a proxy, on a
// daemon thread Qt never joins; the leak check at exit then now and then finds that
// thread's data still held (152 bytes from QThread::QThread under QDaemonThread).
inline void UseNoProxy() {
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}
