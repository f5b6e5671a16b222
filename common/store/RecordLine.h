// SPDX-License-Identifier: GPL-3.0-or-later
// The "key=value&key=value..." lines of the stations' lists and of a caller's user data.
#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>
#include <utility>

// One line read by position: the key names are never compared, since lists written
// elsewhere spell them otherwise or put them in another order, and a key that stands twice
// simply takes two places. Nothing is escaped: a value may hold "=" (only a piece's first
// "=" ends its key), and the last piece keeps every further "&". A CR or LF inside the
// text is text (the file reader has already cut the lines), and so are the bytes of the
// 8-bit encoding that do not decode (see LocalText.h).
//
// What a missing piece or a piece without "=" means is each reader's own rule: the host's
// user list takes such a line with empty fields, the remote's connection list and the
// caller's user data refuse it (IsComplete).
class RecordLine {
public:
    // Cuts `line` into at most `pieces` pieces at "&".
    RecordLine(const QString& line, int pieces);

    // How many pieces the line has: at least one, at most the `pieces` asked for.
    int Size() const { return static_cast<int>(m_pieces.size()); }
    // The text after the first "=" of piece `i`; empty when there is no such piece or
    // it has no "=".
    QString Value(int i) const;
    // Whether piece `i` is there and has an "=".
    bool HasValue(int i) const;
    // Every piece asked for is there, each with an "=".
    bool IsComplete() const;

    // "key=value" pieces joined by "&", in the order given, the values as they are.
    static QString Write(std::initializer_list<std::pair<const char*, QString>> fields);

private:
    QStringList m_pieces;
    int m_wanted;
};
