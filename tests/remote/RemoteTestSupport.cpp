// Helpers shared by the remote station's tests: a private program folder and language, and
// message boxes recorded instead of shown.
#include "RemoteTestSupport.h"

#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QDir>
#include <QFile>
#include <QTest>

MessageBoxRecorder::MessageBoxRecorder() {
    SetMessageBoxHookForTesting(
        [this](QMessageBox::Icon icon, const QString& title, const QString& text) {
            boxes.append({icon, title, text});
        });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHookForTesting({});
}

RemoteSandbox::RemoteSandbox(const QString& language)
    : m_oldConfigDirs(qgetenv("XDG_CONFIG_DIRS")) {
    QVERIFY2(m_folder.isValid() && m_config.isValid(), "temporary folders");
    SetProgramFolderForTesting(m_folder.path());
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(m_config.path()));
    SetLanguage(language);
    ClearConnections();
    g_strSelectItem.clear();
}

RemoteSandbox::~RemoteSandbox() {
    SetProgramFolderForTesting({});
    qputenv("XDG_CONFIG_DIRS", m_oldConfigDirs);
    ClearConnections();
    g_strSelectItem.clear();
    g_strLanguage = QStringLiteral("English");
}

QString RemoteSandbox::File(const QString& name) const {
    return QDir(m_folder.path()).filePath(name);
}

void RemoteSandbox::WriteFile(const QString& name, const QByteArray& bytes) const {
    QFile file(File(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray RemoteSandbox::ReadFile(const QString& name) const {
    QFile file(File(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void RemoteSandbox::SetLanguage(const QString& language) {
    QDir(m_config.path()).mkpath(QStringLiteral("HALVORN Corporation"));
    QFile conf(QDir(m_config.path()).filePath(QStringLiteral("HALVORN Corporation/TESSORA.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
    conf.write("[General]\nLanguage=" + language.toUtf8() + "\n");
    conf.close();
    ReadLanguageSetting();
}

ConnectionRecord MakeRecord(const QString& name, const QString& password, const QString& port,
                            const QString& address, const QString& user) {
    return ConnectionRecord{name, name + QStringLiteral(" host"), address, port, user, password};
}

void ClearConnections() {
    g_udtConnections.clear();
    g_intLastConnectionIndex = -1;
}
