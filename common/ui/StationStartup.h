// SPDX-License-Identifier: GPL-3.0-or-later
// The start of both station programs, in one order: the command line is read and the
// station's folder chosen; then SIGINT and SIGTERM are watched, so a signal that comes while
// the files or the control load (or a box about them is open) closes the window as
// File > Exit does; then the window loads (Form_Load); then it shows and the event loop runs.
#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QCommandLineParser;
class StationWindow;

// What a station program is, for its start.
struct StationProgram {
    QString title;   // "TESSORA-H": the application name, every box's caption
    QString version; // "1.00.0011"
    QString station; // "host": the folder the station keeps its files in (StationFolder)
    QString about;   // what --help says first; the folder follows it
    QList<QCommandLineOption> options; // the station's own, listed before --tray
    QStringList files;                 // kept in the station's folder, copied in on a first start
};

// What the station's window asks of the start.
struct StationStartup {
    // --tray: the window starts hidden in the desktop's tray, where there is one.
    bool inTray = false;
    // After a load that succeeded, before anything shows: a result other than 0 ends the
    // program with it.
    std::function<int()> loaded;
    // Once the event loop runs (where a close signal is heard while a box is open); what
    // it cannot do also goes to standard error, for scripts and unattended stations.
    std::function<void()> started;
};

using StationWindowMaker =
    std::function<std::unique_ptr<StationWindow>(const QCommandLineParser&, StationStartup&)>;

// The whole program: reads the command line (--help and --version end it there), makes the
// window with `makeWindow`, then runs it as RunStation does. Its exit code.
int RunStationProgram(int& argc, char** argv, const StationProgram& program,
                      const StationWindowMaker& makeWindow);

// Watches the close signals, loads the window, shows it and runs the event loop. 1 when
// the load fails, else what `loaded` or the event loop gives.
int RunStation(StationWindow& window, const StationStartup& startup);
