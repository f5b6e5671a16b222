// SPDX-License-Identifier: GPL-3.0-or-later
// TESSORAH, the host station: waits for calls on its UDP port and admits
// the callers of its user list.
#include "SignalWatcher.h"
#include "frmMain.h"
#include "modConsoleLog.h"
#include "modHost.h"
#include "modHvnFileOperation.h"
#include "modMessage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char* argv[]) {
    ProtectStandardStreams();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSORA-H"));
    QApplication::setApplicationVersion(QStringLiteral("1.00.0011"));

    const QString folder = StationFolder(QStringLiteral("host"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("TESSORA-H VoIP Program (for Host Station)\n\n"
                       "User list and settings (TESSORAH.ini, TESSORA-H.ini) are kept in:\n  ") +
        folder);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption online(
        QStringLiteral("online"),
        QStringLiteral("Go online right after start, as a click on the Online button does."));
    parser.addOption(online);
    const QCommandLineOption refuseUnencrypted(
        QStringLiteral("refuse-unencrypted"),
        QStringLiteral("Answer only encrypted calls during this run, whatever Run > Accept "
                       "Unencrypted Calls says."));
    parser.addOption(refuseUnencrypted);
    const QCommandLineOption tray(
        QStringLiteral("tray"),
        QStringLiteral("Start hidden in the desktop's tray, where there is one."));
    parser.addOption(tray);
    parser.process(app);
    UseStationFolder(folder, QCoreApplication::applicationDirPath(),
                     {QString::fromLatin1(kUserListFileName),
                      QString::fromLatin1(kHostSettingsFileName)});

    // Status lines on standard output, for unattended hosts and headless runs.
    SetConsoleLogEnabled(true);
    frmMain form;
    if (!form.Form_Load())
        return 1;
    if (parser.isSet(refuseUnencrypted))
        form.RefuseUnencryptedCalls();

    // SIGINT and SIGTERM end the program as File > Exit does.
    SignalWatcher closeSignals;
    QObject::connect(&closeSignals, &SignalWatcher::closeRequested, &form,
                     &frmMain::CloseFromSignal);

    form.ShowWindowAtStart(parser.isSet(tray));
    // From inside the event loop, where a close signal is heard while a box about a
    // failure is open; the failure also goes to standard error for unattended hosts.
    if (parser.isSet(online)) {
        QTimer::singleShot(0, &form, [&form] {
            SetMessageBoxesAlsoToStandardError(true);
            form.StartOnline();
            SetMessageBoxesAlsoToStandardError(false);
        });
    }
    return app.exec();
}
