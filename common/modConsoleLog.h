// One line per event of a station on standard output, for unattended and headless runs.
#pragma once

#include <QString>

// Off until the program's main turns it on, so tests that drive the windows
// in-process print nothing.
void SetConsoleLogEnabled(bool enabled);

// Writes `line` and a line end to standard output, flushed at once, when enabled.
void ConsoleLog(const QString& line);
