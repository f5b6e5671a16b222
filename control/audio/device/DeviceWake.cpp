// SPDX-License-Identifier: GPL-3.0-or-later
// Wakes a device thread from its wait on a device the moment its owner stops it.
#include "DeviceWake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

DeviceWake::DeviceWake() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

DeviceWake::~DeviceWake() {
    if (m_fd >= 0)
        close(m_fd);
}

void DeviceWake::Raise() {
    if (m_raised.exchange(true) || m_fd < 0)
        return;
    const uint64_t one = 1;
    // Cannot fail short of a full counter, which one write per raise never reaches.
    [[maybe_unused]] const ssize_t written = write(m_fd, &one, sizeof one);
}

void DeviceWake::Lower() {
    if (!m_raised.exchange(false) || m_fd < 0)
        return;
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(m_fd, &count, sizeof count);
}
