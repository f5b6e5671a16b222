// What the station tests share.
#include "StationTestSupport.h"

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

QStringList MessageBoxRecorder::Texts() const {
    QStringList texts;
    for (const RecordedBox& b : boxes)
        texts << b.text;
    return texts;
}

TestFolder::TestFolder() {
    if (!m_dir.isValid())
        qFatal("no temporary folder: %s", qPrintable(m_dir.errorString()));
    SetProgramFolderForTesting(m_dir.path());
}

TestFolder::~TestFolder() {
    SetProgramFolderForTesting({});
}

QString TestFolder::File(const QString& name) const {
    return QDir(m_dir.path()).filePath(name);
}

void TestFolder::Write(const QString& name, const QByteArray& bytes) const {
    QFile file(File(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file %s", qPrintable(file.fileName()));
}

QByteArray TestFolder::Read(const QString& name) const {
    QFile file(File(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

LanguageSetting::LanguageSetting(const QString& value, bool rawLine)
    : m_oldConfigDirs(qgetenv("XDG_CONFIG_DIRS")) {
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(m_dir.path()));
    Set(value, rawLine);
}

LanguageSetting::~LanguageSetting() {
    if (m_oldConfigDirs.isEmpty())
        qunsetenv("XDG_CONFIG_DIRS");
    else
        qputenv("XDG_CONFIG_DIRS", m_oldConfigDirs);
    g_strLanguage = QStringLiteral("English");
}

void LanguageSetting::Set(const QString& value, bool rawLine) {
    QDir(m_dir.path()).mkpath(QStringLiteral("HALVORN Corporation"));
    QFile conf(QDir(m_dir.path()).filePath(QStringLiteral("HALVORN Corporation/TESSORA.conf")));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the language setting %s", qPrintable(conf.fileName()));
    conf.write("[General]\n");
    if (rawLine)
        conf.write(value.toUtf8() + "\n");
    else if (!value.isEmpty())
        conf.write("Language=" + value.toUtf8() + "\n");
    conf.close();
    ReadLanguageSetting();
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}
