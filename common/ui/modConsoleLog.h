// SPDX-License-Identifier: GPL-3.0-or-later
// One line per event of a station on standard output, for unattended and headless runs.
#pragma once

#include <QString>

// First thing in a station's main: a standard output that goes away (a closed pipe)
// must not end the station before it has hung up and saved its files, so SIGPIPE is
// ignored and a line that cannot be written is dropped. A standard stream closed before the
// start is opened on /dev/null, so that no file or socket the station opens later
// takes its number and receives its status lines.
void ProtectStandardStreams();

// Off until the program's main turns it on, so tests that drive the windows
// in-process print nothing.
void SetConsoleLogEnabled(bool enabled);

// Hands `line` and a line end to standard output, when enabled. They are written in
// order by a thread of their own, so a stalled output never holds the caller; at exit
// the program waits up to two seconds for lines still queued.
void ConsoleLog(const QString& line);
