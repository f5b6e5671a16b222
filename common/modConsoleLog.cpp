// One line per event of a station on standard output.
#include "modConsoleLog.h"

#include "LocalText.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::atomic<bool> g_enabled{false};
}

void ProtectStandardStreams() {
    std::signal(SIGPIPE, SIG_IGN);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

void SetConsoleLogEnabled(bool enabled) {
    g_enabled = enabled;
}

void ConsoleLog(const QString& line) {
    if (!g_enabled)
        return;
    // The bytes the text stands for, also those that do not decode. A line that cannot
    // be written (EPIPE once SIGPIPE is ignored) is lost, no more.
    std::fprintf(stdout, "%s\n", Tavrino::EncodeLocalText(line).constData());
    std::fflush(stdout);
    std::clearerr(stdout);
}
