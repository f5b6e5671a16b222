#include "modHvnFileOperation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
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
    const QStringList hits = dir.entryList(QStringList{name}, QDir::AllEntries | QDir::Hidden |
                                                                  QDir::System | QDir::NoDotAndDotDot);
    return !hits.isEmpty();
}

QString ProgramFolder() {
    if (!FolderOverride().isEmpty())
        return FolderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolderForTesting(const QString& folder) { FolderOverride() = folder; }

QString ProgramFile(const QString& fileName) { return QDir(ProgramFolder()).filePath(fileName); }
