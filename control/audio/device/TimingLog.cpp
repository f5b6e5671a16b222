// SPDX-License-Identifier: GPL-3.0-or-later
// Optional log of when file-backed audio devices start.
#include "TimingLog.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

void LogAudioDeviceStart(const std::string& logPath, const char* kind, const std::string& path,
                         long long delayNs) {
    if (logPath.empty())
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec + delayNs;
    char line[4200];
    const int n = std::snprintf(line, sizeof line, "%s %s %lld\n", kind, path.c_str(), ns);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof line)
        return;
    const int fd = ::open(logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    // One write with O_APPEND keeps lines from two processes apart.
    [[maybe_unused]] const ssize_t written = ::write(fd, line, static_cast<size_t>(n));
    ::close(fd);
}
