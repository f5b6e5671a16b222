// SPDX-License-Identifier: GPL-3.0-or-later
// TESSORAR, the remote station: starts the main window, optionally calls a stored connection
// at once, and closes as Exit does on SIGINT or SIGTERM.
#include "StationStartup.h"
#include "frmMain.h"
#include "modControlCommon.h"

#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char* argv[]) {
    const QCommandLineOption connectOption(
        QStringLiteral("connect"),
        QStringLiteral("Select the stored connection NAME and press Connect right after start."),
        QStringLiteral("NAME"));
    const QCommandLineOption allowUnencrypted(
        QStringLiteral("allow-unencrypted"),
        QStringLiteral("Let a connection that is not pinned fall back to an unencrypted call "
                       "during this run, as its \"Allow unencrypted calls (older hosts)\" "
                       "setting does."));
    const StationProgram remote{
        QStringLiteral("TESSORA-R"),
        QStringLiteral("1.00.0008"),
        QStringLiteral("remote"),
        QStringLiteral("TESSORA-R VoIP Program (for Remote Station)\n\n"
                       "Connections and settings (Connect.dat, TESSORAR.ini) are kept in:\n  "),
        {connectOption, allowUnencrypted},
        {QString::fromLatin1(kConnectionListFile), QString::fromLatin1(kSettingsFile)}};
    return RunStationProgram(
        argc, argv, remote, [&](const QCommandLineParser& parser, StationStartup& startup) {
            auto window = std::make_unique<frmMain>();
            const bool connect = parser.isSet(connectOption);
            const QString name = parser.value(connectOption);
            startup.loaded = [&parser, &allowUnencrypted, window = window.get(), connect, name] {
                if (parser.isSet(allowUnencrypted))
                    window->AllowUnencryptedCalls();
                // Refuse before anything shows or is saved: a script asked for a call it
                // cannot make.
                if (connect && FindConnection(name) < 0) {
                    std::fprintf(stderr, "TESSORA-R: no stored connection is named \"%s\"\n",
                                 name.toLocal8Bit().constData());
                    return 2;
                }
                return 0;
            };
            // Why a call cannot be placed also goes to standard error, for scripts.
            if (connect)
                startup.started = [window = window.get(), name] { window->ConnectTo(name); };
            return window;
        });
}
