// SPDX-License-Identifier: GPL-3.0-or-later
// TESSORAR, the remote station: starts the main window, optionally calls a stored connection
// at once, and closes as Exit does on SIGINT or SIGTERM.
#include "SignalWatcher.h"
#include "frmMain.h"
#include "modConsoleLog.h"
#include "modControlCommon.h"
#include "modHvnFileOperation.h"
#include "modMessage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    ProtectStandardStreams();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSORA-R"));
    QApplication::setApplicationVersion(QStringLiteral("1.00.0008"));

    const QString folder = StationFolder(QStringLiteral("remote"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("TESSORA-R VoIP Program (for Remote Station)\n\n"
                       "Connections and settings (Connect.dat, TESSORAR.ini) are kept in:\n  ") +
        folder);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption connectOption(
        QStringLiteral("connect"),
        QStringLiteral("Select the stored connection NAME and press Connect right after start."),
        QStringLiteral("NAME"));
    parser.addOption(connectOption);
    const QCommandLineOption allowUnencrypted(
        QStringLiteral("allow-unencrypted"),
        QStringLiteral("Let a connection that is not pinned fall back to an unencrypted call "
                       "during this run, as its \"Allow unencrypted calls (older hosts)\" "
                       "setting does."));
    parser.addOption(allowUnencrypted);
    const QCommandLineOption tray(
        QStringLiteral("tray"),
        QStringLiteral("Start hidden in the desktop's tray, where there is one."));
    parser.addOption(tray);
    parser.process(app);
    UseStationFolder(folder, QCoreApplication::applicationDirPath(),
                     {QString::fromLatin1(kConnectionListFile), QString::fromLatin1(kSettingsFile)});

    // Watches from before the window loads, so an early signal still closes it properly.
    SignalWatcher watcher;
    frmMain window;
    SetConsoleLogEnabled(true);
    QObject::connect(&watcher, &SignalWatcher::closeRequested, &window, &frmMain::CloseFromSignal);
    if (parser.isSet(allowUnencrypted))
        window.AllowUnencryptedCalls();

    if (parser.isSet(connectOption)) {
        const QString name = parser.value(connectOption);
        // Refuse before anything shows or is saved: a script asked for a call it cannot make.
        if (FindConnection(name) < 0) {
            std::fprintf(stderr, "TESSORA-R: no stored connection is named \"%s\"\n",
                         name.toLocal8Bit().constData());
            return 2;
        }
        // Why a call cannot be placed also goes to standard error, for scripts.
        QTimer::singleShot(0, &window, [&window, name] {
            SetMessageBoxesAlsoToStandardError(true);
            window.ConnectTo(name);
            SetMessageBoxesAlsoToStandardError(false);
        });
    }
    window.ShowWindowAtStart(parser.isSet(tray));
    return QApplication::exec();
}
