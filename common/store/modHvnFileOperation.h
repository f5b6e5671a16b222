// SPDX-License-Identifier: GPL-3.0-or-later
// File existence as the stations check it before reading a settings file,
// the folder where a station keeps its files, and how they are written.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// True when a search for `path` finds an entry: a file or a folder. A
// wildcard (* or ?) in the last path component matches as a pattern.
bool FileExists(const QString& path);

// The folder where the station keeps its files: the one chosen with
// UseStationFolder, else the folder of the running program.
QString ProgramFolder();

// Where a station ("host" or "remote") keeps its files: the folder of the
// running program when the user can write it (a portable install), else the
// user's data folder, $XDG_DATA_HOME/TESSORA/<station> (an installed package).
QString StationFolder(const QString& station);

// Makes `folder` the one ProgramFolder() gives. A missing folder is created,
// readable by its owner only. When it is not `programFolder`, each of
// `fileNames` that `programFolder` holds and `folder` does not is copied in,
// owner-only (a first start after moving from a portable install). False
// when the folder cannot be created; ProgramFolder() gives it all the same,
// and saving there fails as it would in any unwritable folder.
bool UseStationFolder(const QString& folder, const QString& programFolder,
                      const QStringList& fileNames);

// Test seam: makes ProgramFolder() return `folder` (empty restores the
// program's own folder), so tests never write next to the build's binaries.
// Files kept aside and not yet reported (TakeKeptOriginals) are forgotten.
void SetProgramFolderForTesting(const QString& folder);

// ProgramFolder() joined with `fileName`.
QString ProgramFile(const QString& fileName);

// The largest station file read. The longest list the programs write is 257
// connections with every field at its full length, each character taking up to
// three bytes: 257 lines of 1512 bytes, under 400 KiB. The bound is twenty times
// that, and takes a loaded list at its 16-bit limit of 32767 records of up to
// 256 bytes each. Loading takes about nine times the file's size in memory for
// a moment, so a larger bound would cost more than it could hold.
inline constexpr qint64 kMaxStationFileBytes = 8 * 1024 * 1024;

// True when `path` is a regular file (a link to one counts) of at most
// kMaxStationFileBytes: such a file can be read whole without waiting.
bool IsPlainFileOfSaneSize(const QString& path);

// What a station read from one of its files.
struct TextFile {
    QString path;
    QByteArray bytes;  // the file as it was read
    QStringList lines; // decoded, without their line ends
    bool opened = false;
    qsizetype undecodableBytes = 0; // carried in `lines` as they are
};

// Reads a station file in the locale's 8-bit encoding, without losing a byte
// (see LocalText.h). CR LF as the stations write it, but also a lone LF or CR,
// ends a line. Anything but a plain file of sane size (a pipe, a device, a
// folder, a huge file) is not read; a file that exists but is not read is
// remembered for the rest of the run: WriteTextLines then refuses to replace
// it, so what the program never saw is not overwritten.
TextFile ReadTextFile(const QString& path);

// Notes a file the program could not read, as ReadTextFile does.
void NoteUnreadableFile(const QString& path);

// The files found unreadable since the last call, each reported once.
QStringList TakeUnreadableFiles();

// What a load did not hold of the lines it read.
struct NotHeld {
    int leftOut = 0;     // lines passed over: damaged, incomplete, blank
    int changed = 0;     // lines loaded, but to be written back otherwise
    int beyondLimit = 0; // records past the table's limit
};

// A file whose original was kept aside because its load did not hold all of it.
struct KeptOriginal {
    QString path;
    QString copy; // empty: no copy could be made, so the file is never replaced
    NotHeld notHeld;
    int limit = 0;
    qsizetype undecodableBytes = 0;
};

// When the load of `file` did not hold everything in it (or kept bytes that do
// not decode), copies the file as it was beside it, as "<name>.orig-<n>" with
// the next free n, before the program first rewrites it, and notes it for the
// report. An earlier copy is never overwritten; when the latest one already
// holds these very bytes, nothing is copied or reported again. `limit` is the
// table's largest size, for the report.
void KeepOriginalUnlessHeld(const TextFile& file, const NotHeld& notHeld, int limit = 0);

// The files kept aside since the last call.
QList<KeptOriginal> TakeKeptOriginals();

// What a list's load did with one line of its file.
enum class LineTaken { Held, Changed, LeftOut, BeyondLimit };

// How a load took a line it could read: past the list's limit when not `added`, else
// held when the record is `written` back as the very line.
inline LineTaken TakenAs(bool added, const QString& written, const QString& line) {
    return !added ? LineTaken::BeyondLimit
                  : written == line ? LineTaken::Held : LineTaken::Changed;
}

// Reads the list file at `path` (ReadTextFile) and hands `take` each line, then keeps the
// original aside when the list did not hold all of it (KeepOriginalUnlessHeld, `limit`
// the list's largest size). False, and no line taken, when the file does not exist.
bool LoadListFile(const QString& path, int limit,
                  const std::function<LineTaken(const QString& line)>& take);

// Reads a settings file as the stations write it, the line `header` (such as
// "[Main]") and "<key>=<value>": false when it does not exist. `value` becomes the second
// "="-separated piece of the last line whose first piece is `key` exactly;
// it stays unchanged when there is none. Any other line, and key lines but the
// last, are not written back: the original is then kept aside.
bool ReadSettingValue(const QString& path, const QString& header, const QString& key,
                      QString& value);

// Replaces the file at `path` whole with `lines`, each ended by CR LF, in the
// locale's 8-bit encoding, readable and writable by its owner only (the
// stations' files hold passwords). The lines are written aside and renamed
// over the old file: when any step fails the old file stays as it was and
// the result is false. A file that could not be read is kept and the result
// is false as well.
bool WriteTextLines(const QString& path, const QStringList& lines);
