// SPDX-License-Identifier: GPL-3.0-or-later
// TESSORAH, the host station: waits for calls on its UDP port and admits
// the callers of its user list.
#include "StationStartup.h"
#include "frmMain.h"
#include "modHost.h"

#include <QCommandLineParser>

int main(int argc, char* argv[]) {
    const QCommandLineOption online(
        QStringLiteral("online"),
        QStringLiteral("Go online right after start, as a click on the Online button does."));
    const QCommandLineOption refuseUnencrypted(
        QStringLiteral("refuse-unencrypted"),
        QStringLiteral("Answer only encrypted calls during this run, whatever Run > Accept "
                       "Unencrypted Calls says."));
    const StationProgram host{
        QStringLiteral("TESSORA-H"),
        QStringLiteral("1.00.0011"),
        QStringLiteral("host"),
        QStringLiteral("TESSORA-H VoIP Program (for Host Station)\n\n"
                       "User list and settings (TESSORAH.ini, TESSORA-H.ini) are kept in:\n  "),
        {online, refuseUnencrypted},
        {QString::fromLatin1(kUserListFileName), QString::fromLatin1(kHostSettingsFileName)}};
    return RunStationProgram(argc, argv, host,
                             [&](const QCommandLineParser& parser, StationStartup& startup) {
                                 auto form = std::make_unique<frmMain>();
                                 if (parser.isSet(refuseUnencrypted))
                                     startup.loaded = [form = form.get()] {
                                         form->RefuseUnencryptedCalls();
                                         return 0;
                                     };
                                 // A failure also goes to standard error, for unattended hosts.
                                 if (parser.isSet(online))
                                     startup.started = [form = form.get()] { form->StartOnline(); };
                                 return form;
                             });
}
