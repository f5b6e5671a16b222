// What only the remote tests share.
#include "RemoteTestSupport.h"

RemoteSandbox::RemoteSandbox(const QString& language) : LanguageSetting(language) {
    ClearConnections();
    g_strSelectItem.clear();
}

RemoteSandbox::~RemoteSandbox() {
    ClearConnections();
    g_strSelectItem.clear();
}

ConnectionRecord MakeRecord(const QString& name, const QString& password, const QString& port,
                            const QString& address, const QString& user) {
    return ConnectionRecord{name, name + QStringLiteral(" host"), address, port, user, password};
}

void ClearConnections() {
    g_udtConnections.clear();
    g_intLastConnectionIndex = -1;
}
