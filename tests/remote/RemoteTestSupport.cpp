// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the remote station's tests: a sandbox with an empty connection store,
// stored records, and the control the window under test loads.
#include "RemoteTestSupport.h"

#include <QFileInfo>

RemoteSandbox::RemoteSandbox(const QString& language) : LanguageSetting(language) {
    ClearConnections();
    g_strSelectItem.clear();
}

RemoteSandbox::~RemoteSandbox() {
    ClearConnections();
    g_strSelectItem.clear();
}

QString UseControlOnRemoteAddress() {
    qputenv("TAVRINO_BIND_ADDRESS", "127.0.0.3");
    qputenv("TAVRINO_CAPTURE", "silence");
    qputenv("TAVRINO_PLAYBACK", "null");
    const QString plugin = ConsoleProcess::PluginArguments().constLast();
    return QFileInfo::exists(plugin) ? QString() : plugin + " is missing: build it first";
}

ConnectionRecord MakeRecord(const QString& name, const QString& password, const QString& port,
                            const QString& address, const QString& user) {
    return ConnectionRecord{name, name + QStringLiteral(" host"), address, port, user, password};
}

void ClearConnections() {
    g_udtConnections.clear();
    g_intLastConnectionIndex = -1;
}
