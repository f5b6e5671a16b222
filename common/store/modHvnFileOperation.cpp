// SPDX-License-Identifier: GPL-3.0-or-later
#include "modHvnFileOperation.h"

#include "LocalText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

QList<KeptOriginal>& KeptOriginals() {
    static QList<KeptOriginal> kept;
    return kept;
}

// The whole of a plain file of sane size; false for anything else. Checked
// before opening, so a pipe or a device is never opened, and again on the
// open file, in case the entry was replaced in between.
bool ReadPlainFile(const QString& path, QByteArray* bytes) {
    if (!IsPlainFileOfSaneSize(path))
        return false;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxStationFileBytes;
    bytes->clear();
    // One byte more than allowed tells a file that grew meanwhile.
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n >= 0 && bytes->size() + n <= kMaxStationFileBytes;
        if (n <= 0)
            break;
        bytes->append(buffer, n);
    }
    ::close(fd);
    return ok;
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
    KeptOriginals().clear(); // about the files of the folder before
}

QString ProgramFile(const QString& fileName) {
    return QDir(ProgramFolder()).filePath(fileName);
}

bool IsPlainFileOfSaneSize(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_size <= kMaxStationFileBytes;
}

void NoteUnreadableFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!UnreadableFiles().contains(absolute)) {
        UnreadableFiles().insert(absolute);
        UnreportedFiles() << path;
    }
}

TextFile ReadTextFile(const QString& path) {
    TextFile file;
    file.path = path;
    file.opened = ReadPlainFile(path, &file.bytes);
    if (!file.opened) {
        if (QFileInfo::exists(path))
            NoteUnreadableFile(path);
        return file;
    }
    QString text = Tavrino::DecodeLocalText(file.bytes, &file.undecodableBytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    file.lines = text.split(QLatin1Char('\n'));
    if (file.lines.last().isEmpty())
        file.lines.removeLast(); // after the last line's end
    return file;
}

QStringList TakeUnreadableFiles() {
    return std::exchange(UnreportedFiles(), {});
}

void KeepOriginalUnlessHeld(const TextFile& file, const NotHeld& notHeld, int limit) {
    if (!file.opened || (notHeld.leftOut == 0 && notHeld.changed == 0 && notHeld.beyondLimit == 0 &&
                         file.undecodableBytes == 0))
        return;
    const QString suffix = QStringLiteral(".orig-");
    const QString prefix = file.path + suffix;
    const QFileInfo info(file.path);
    int last = 0;
    for (const QString& name : info.dir().entryList({info.fileName() + suffix + QLatin1Char('*')},
                                                    QDir::AllEntries | QDir::Hidden | QDir::System |
                                                        QDir::NoDotAndDotDot))
        last = std::max(last, name.mid(info.fileName().size() + suffix.size()).toInt());
    QByteArray latest;
    if (last > 0 && ReadPlainFile(prefix + QString::number(last), &latest) && latest == file.bytes)
        return; // kept, and reported, before
    KeptOriginal kept{file.path, {}, notHeld, limit, file.undecodableBytes};
    // Created, never opened over an existing entry: a number taken meanwhile is passed by.
    for (int n = last + 1; n <= last + 100 && kept.copy.isEmpty(); ++n) {
        QFile copy(prefix + QString::number(n));
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            if (copy.exists())
                continue;
            break;
        }
        if (copy.write(file.bytes) == file.bytes.size() && copy.flush() &&
            ::fsync(copy.handle()) == 0) {
            kept.copy = copy.fileName();
        } else {
            copy.remove();
            break;
        }
    }
    if (kept.copy.isEmpty()) // without a copy, the original stays as it is
        UnreadableFiles().insert(info.absoluteFilePath());
    KeptOriginals() << kept;
}

QList<KeptOriginal> TakeKeptOriginals() {
    return std::exchange(KeptOriginals(), {});
}

bool LoadListFile(const QString& path, int limit,
                  const std::function<LineTaken(const QString& line)>& take) {
    if (!FileExists(path))
        return false;
    const TextFile file = ReadTextFile(path);
    NotHeld notHeld;
    for (const QString& line : file.lines) {
        switch (take(line)) {
        case LineTaken::Held:
            break;
        case LineTaken::Changed:
            ++notHeld.changed;
            break;
        case LineTaken::LeftOut:
            ++notHeld.leftOut;
            break;
        case LineTaken::BeyondLimit:
            ++notHeld.beyondLimit;
            break;
        }
    }
    KeepOriginalUnlessHeld(file, notHeld, limit);
    return true;
}

bool ReadSettingValue(const QString& path, const QString& header, const QString& key,
                      QString& value) {
    if (!FileExists(path))
        return false;
    const TextFile file = ReadTextFile(path);
    NotHeld notHeld;
    bool headerSeen = false;
    int keyLines = 0;
    for (const QString& line : file.lines) {
        // Split at every "=": a key without "=" carries no value and is passed over.
        const QStringList pieces = line.split(QLatin1Char('='));
        if (pieces.size() >= 2 && pieces.at(0) == key) {
            value = pieces.at(1);
            ++keyLines;
        } else if (line == header && !headerSeen) {
            headerSeen = true;
        } else {
            ++notHeld.leftOut;
        }
    }
    notHeld.leftOut += std::max(0, keyLines - 1); // only the last one is written back
    KeepOriginalUnlessHeld(file, notHeld);
    return true;
}

bool WriteTextLines(const QString& path, const QStringList& lines) {
    if (UnreadableFiles().contains(QFileInfo(path).absoluteFilePath()))
        return false; // what it holds was never loaded: keep it
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        ok = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (ok && !lines.isEmpty()) {
        const QString crlf = QStringLiteral("\r\n");
        const QByteArray bytes = Tavrino::EncodeLocalText(lines.join(crlf) + crlf);
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
