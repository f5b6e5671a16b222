// SPDX-License-Identifier: GPL-3.0-or-later
// Text in the locale's 8-bit encoding, as the control's strings, the wire and
// the stations' files carry it. The control and the stations convert with the
// same code, so a string handed from one to the other keeps its bytes.
//
// Decoding loses nothing: a byte that does not decode becomes the lone
// surrogate U+DC00 + byte (U+DC80..U+DCFF for the bytes above ASCII), which
// the widgets draw as a replacement glyph and encoding turns back into that
// very byte. Two different byte strings therefore never decode to equal text.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Tavrino {

// The text of `bytes`. `undecodable`, when given, receives the number of
// bytes that did not decode and are carried as they are.
QString DecodeLocalText(QByteArrayView bytes, qsizetype* undecodable = nullptr);

// The bytes of `text`: DecodeLocalText's result gives back its bytes exactly.
// A character the encoding cannot hold becomes "?" and is added to
// `unencodable` (when given), once per occurrence.
QByteArray EncodeLocalText(QStringView text, QString* unencodable = nullptr);

// The encoding's name as the system gives it ("UTF-8", "ISO-8859-1", "SHIFT_JIS").
QByteArray LocalTextEncoding();

// Test seam: converts with `encoding` instead of the locale's (empty restores it).
void SetLocalTextEncodingForTesting(const QByteArray& encoding);

} // namespace Tavrino
