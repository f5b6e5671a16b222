// SPDX-License-Identifier: GPL-3.0-or-later
// tavrino-console: a command-line container for the voice control, driven from standard input.
#include "ConsoleSession.h"
#include "TavrinoClient.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void Usage() {
    std::fputs("usage: tavrino-console [--plugin PATH]\n"
               "Reads commands from standard input, one a line:\n"
               "  NAME arg...   call a method of the control by name\n"
               "  #ID arg...    call it by dispatch id\n"
               "  wait MS       run the event loop for MS milliseconds\n"
               "  quit          destroy the control and exit (so does end of input)\n"
               "Arguments: integers, TRUE, FALSE or \"strings\" with \\\" \\\\ \\n \\r \\t \\xHH.\n"
               "Output: '= result', '! Event args' and '? problem' lines.\n",
               stderr);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString pluginPath;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--plugin") && i + 1 < args.size()) {
            pluginPath = args[++i];
        } else if (args[i].startsWith(QLatin1String("--plugin="))) {
            pluginPath = args[i].mid(9);
        } else {
            Usage();
            return args[i] == QLatin1String("--help") ? 0 : 2;
        }
    }

    TavrinoClient client;
    if (!client.Load(pluginPath)) {
        std::fprintf(stderr, "tavrino-console: %s\n", qPrintable(client.LoadError()));
        return 1;
    }
    ConsoleSession session(&client);
    session.Start();
    return QCoreApplication::exec();
}
