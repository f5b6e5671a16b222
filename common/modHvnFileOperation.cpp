#include "modHvnFileOperation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <utility>

namespace {
// Files found unreadable this run, and those of them not yet reported.
QSet<QString>& UnreadableFiles() {
    static QSet<QString> files;
    return files;
}
QStringList& UnreportedFiles() {
    static QStringList files;
    return files;
}

QString& FolderOverride() {
    static QString folder;
    return folder;
}
} // namespace

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
        return info.exists();
    // A pattern: any entry of the folder that matches counts, folders included.
    const QDir dir = info.dir();
    const QStringList hits = dir.entryList(
        QStringList{name}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return !hits.isEmpty();
}

QString ProgramFolder() {
    if (!FolderOverride().isEmpty())
        return FolderOverride();
    return QCoreApplication::applicationDirPath();
}

QString StationFolder(const QString& station) {
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(programFolder).isWritable())
        return programFolder;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("TESSORA/") + station);
}

bool UseStationFolder(const QString& folder, const QString& programFolder,
                      const QStringList& fileNames) {
    FolderOverride() = folder;
    const QDir dir(folder);
    if (!dir.exists()) {
        // Created owner-only from the start: the files hold passwords.
        if (!QDir().mkpath(folder) ||
            !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner))
            return false;
    }
    if (QFileInfo(folder) == QFileInfo(programFolder))
        return true;
    for (const QString& name : fileNames) {
        const QString from = QDir(programFolder).filePath(name);
        const QString to = dir.filePath(name);
        if (QFileInfo(from).isFile() && !QFileInfo::exists(to) && QFile::copy(from, to))
            QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return true;
}

void SetProgramFolderForTesting(const QString& folder) {
    FolderOverride() = folder;
}

QString ProgramFile(const QString& fileName) {
    return QDir(ProgramFolder()).filePath(fileName);
}

QStringList ReadTextLines(const QString& path, bool* opened) {
    QFile file(path);
    const bool ok = file.open(QIODevice::ReadOnly);
    if (opened)
        *opened = ok;
    if (!ok) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (QFileInfo::exists(path) && !UnreadableFiles().contains(absolute)) {
            UnreadableFiles().insert(absolute);
            UnreportedFiles() << path;
        }
        return {};
    }
    QString text = QString::fromLocal8Bit(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // after the last line's end
    return lines;
}

QStringList TakeUnreadableFiles() {
    return std::exchange(UnreportedFiles(), {});
}

bool WriteTextLines(const QString& path, const QStringList& lines) {
    if (UnreadableFiles().contains(QFileInfo(path).absoluteFilePath()))
        return false; // what it holds was never loaded: keep it
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        ok = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (const QString& line : lines) {
        if (!ok)
            break;
        const QByteArray bytes = line.toLocal8Bit() + "\r\n";
        ok = file.write(bytes) == bytes.size();
    }
    // The device buffers writes; a failure while flushing that buffer
    // would otherwise go unnoticed by commit() and replace the old file.
    if (ok)
        ok = file.flush() && file.error() == QFileDevice::NoError;
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    return ok;
}
