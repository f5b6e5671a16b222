// File existence as the stations check it before reading a settings file,
// and the folder where a station keeps its files.
#pragma once

#include <QString>

// True when a search for `path` finds an entry: a file or a folder. A
// wildcard (* or ?) in the last path component matches as a pattern.
bool FileExists(const QString& path);

// The folder of the running program, where each station keeps its files.
QString ProgramFolder();

// Test seam: makes ProgramFolder() return `folder` (empty restores the
// program's own folder), so tests never write next to the build's binaries.
void SetProgramFolderForTesting(const QString& folder);

// ProgramFolder() joined with `fileName`.
QString ProgramFile(const QString& fileName);
