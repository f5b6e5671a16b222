// One line per event of a station on standard output.
#include "modConsoleLog.h"

#include "LocalText.h"

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
    // The bytes the text stands for, also those that do not decode.
    std::fprintf(stdout, "%s\n", Tavrino::EncodeLocalText(line).constData());
    std::fflush(stdout);
}
