// SPDX-License-Identifier: GPL-3.0-or-later
// The start of both station programs, in one order.
#include "StationStartup.h"

#include "SignalWatcher.h"
#include "StationWindow.h"
#include "modConsoleLog.h"
#include "modHvnFileOperation.h"
#include "modMessage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int RunStationProgram(int& argc, char** argv, const StationProgram& program,
                      const StationWindowMaker& makeWindow) {
    ProtectStandardStreams();
    QApplication app(argc, argv);
    QApplication::setApplicationName(program.title);
    QApplication::setApplicationVersion(program.version);

    const QString folder = StationFolder(program.station);
    QCommandLineParser parser;
    parser.setApplicationDescription(program.about + folder);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(program.options);
    const QCommandLineOption tray(
        QStringLiteral("tray"),
        QStringLiteral("Start hidden in the desktop's tray, where there is one."));
    parser.addOption(tray);
    parser.process(app);
    UseStationFolder(folder, QCoreApplication::applicationDirPath(), program.files);

    // Status lines on standard output, for unattended stations and headless runs.
    SetConsoleLogEnabled(true);
    StationStartup startup;
    startup.inTray = parser.isSet(tray);
    const std::unique_ptr<StationWindow> window = makeWindow(parser, startup);
    return RunStation(*window, startup);
}

int RunStation(StationWindow& window, const StationStartup& startup) {
    SignalWatcher closeSignals;
    QObject::connect(&closeSignals, &SignalWatcher::closeRequested, &window,
                     &StationWindow::CloseFromSignal);
    if (!window.Form_Load())
        return 1;
    if (startup.loaded)
        if (const int refused = startup.loaded())
            return refused;
    window.ShowWindowAtStart(startup.inTray);
    if (startup.started)
        QTimer::singleShot(0, &window, [&startup] {
            SetMessageBoxesAlsoToStandardError(true);
            startup.started();
            SetMessageBoxesAlsoToStandardError(false);
        });
    return QApplication::exec();
}
