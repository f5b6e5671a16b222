// SPDX-License-Identifier: GPL-3.0-or-later
// One hostile station file through a store's load and save, as a station runs
// them at start and exit: what is shown, what is written, the original kept
// beside it byte for byte, and the message naming it.
#pragma once

#include "LocalText.h"
#include "StationTestSupport.h"
#include "StoreResult.h"
#include "modHvnFileOperation.h"
#include "modMessage.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <sys/stat.h>

struct StationStore {
    const char* fileName;
    std::function<bool()> load;
    std::function<StoreResult()> save;
    std::function<QString()> shown; // "<count>: <the last record's fields>"
};

struct StationFileCase {
    char kind; // 'f' a file, 'p' a FIFO, 'h' an oversized file
    QByteArray file;
    const char* encoding; // empty: the locale's
    QString shown;        // as StationStore::shown gives it, with U+FFFD where it is drawn
    QByteArray written;   // at exit; empty: as the file was
    QString notHeld;      // the message's account; empty: no copy is due
};

// What differs from the case: empty when all is as expected.
inline QString CheckStationFile(const StationStore& store, const StationFileCase& c) {
    TestFolder dir;
    MessageBoxRecorder recorder;
    Tavrino::SetLocalTextEncodingForTesting(c.encoding);
    QStringList wrong;
    const QString name = QString::fromLatin1(store.fileName);
    const QString path = dir.File(name), copy = path + ".orig-1";
    auto load = [&](const QByteArray& bytes, qint64 size) {
        QFile f(path);
        if (c.kind != 'p' && f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size())
            f.resize(size);
        f.close();
        store.load();
    };
    if (c.kind == 'p')
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
    load(c.file, c.kind == 'h' ? kMaxStationFileBytes + 1 : c.file.size());
    ReportUnreadableFiles();
    QString shown = store.shown();
    for (QChar& ch : shown) // bytes that do not decode are drawn as U+FFFD
        ch = ch.unicode() >= 0xDC80 && ch.unicode() <= 0xDCFF ? QChar(0xFFFD) : ch;
    wrong << (shown == c.shown ? "" : "shown: " + shown);
    wrong << (store.save().ok == (c.kind == 'f') ? "" : "saved or not");
    const QString message =
        c.kind != 'f'         ? QString("The file \"%1\" could not be read.").arg(path)
        : c.notHeld.isEmpty() ? QString()
                              : QString("The file \"%1\" is not entirely in the form this program "
                                        "reads and writes (%2).\r\nThe file as it was has been "
                                        "kept as \"%3\".")
                                    .arg(path, c.notHeld, copy);
    wrong << (recorder.Texts().value(0) == message ? "" : "message: " + recorder.Texts().join('|'));
    if (c.kind == 'f') {
        wrong << (dir.Read(name) == (c.written.isEmpty() ? c.file : c.written) ? "" : "written");
        wrong << (dir.Read(name + ".orig-1") == (c.notHeld.isEmpty() ? QByteArray() : c.file)
                      ? ""
                      : "copy");
    }
    if (!c.notHeld.isEmpty()) { // the same file again: kept already; another: a copy of its own
        for (const QByteArray& again : {c.file, c.file + "#\r\n"})
            load(again, again.size());
        wrong << (dir.Read(name + ".orig-1") == c.file &&
                          dir.Read(name + ".orig-2") == c.file + "#\r\n"
                      ? ""
                      : "second copy");
    }
    Tavrino::SetLocalTextEncodingForTesting({});
    wrong.removeAll(QString());
    return wrong.join(QStringLiteral("; "));
}
