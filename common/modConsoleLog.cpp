// One line per event of a station on standard output.
#include "modConsoleLog.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<bool> g_enabled{false};
}

void SetConsoleLogEnabled(bool enabled) {
    g_enabled = enabled;
}

void ConsoleLog(const QString& line) {
    if (!g_enabled)
        return;
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}
