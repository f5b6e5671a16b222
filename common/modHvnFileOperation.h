// File existence as the stations check it before reading a settings file,
// the folder where a station keeps its files, and how they are written.
#pragma once

#include <QString>
#include <QStringList>

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
void SetProgramFolderForTesting(const QString& folder);

// ProgramFolder() joined with `fileName`.
QString ProgramFile(const QString& fileName);

// The lines of a text file in the locale's 8-bit encoding, without their
// line ends: CR LF as the stations write them, but a lone LF or CR also ends
// a line. `opened` (when given) tells whether the file could be read; the
// result is empty when it could not.
// A file that exists but cannot be read is remembered for the rest of the run:
// WriteTextLines then refuses to replace it, so a file the program never saw
// is not overwritten with an empty list.
QStringList ReadTextLines(const QString& path, bool* opened = nullptr);

// The files found unreadable since the last call, each reported once.
QStringList TakeUnreadableFiles();

// Replaces the file at `path` whole with `lines`, each ended by CR LF, in the
// locale's 8-bit encoding, readable and writable by its owner only (the
// stations' files hold passwords). The lines are written aside and renamed
// over the old file: when any step fails the old file stays as it was and
// the result is false. A file that could not be read is kept and the result
// is false as well.
bool WriteTextLines(const QString& path, const QStringList& lines);
