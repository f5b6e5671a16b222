// SPDX-License-Identifier: GPL-3.0-or-later
// ConsoleSyntax: the line syntax of tavrino-console: parsing command lines and quoting strings.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace ConsoleSyntax {

// One parsed input line. `name` is the command word as typed (a method name, "#ID",
// "wait" or "quit"); `args` hold qint64 for integers, bool for TRUE/FALSE and QString
// for quoted strings (their bytes taken as the locale's 8-bit text).
struct Command {
    QString name;
    QVariantList args;
};

// False with `error` set when the line is not well formed. A blank line gives an
// empty name.
bool Parse(const QByteArray& line, Command* command, QString* error);

// The text between double quotes, with \" \\ \n \r \t and \xHH for other control bytes.
QByteArray Quote(const QString& text);

} // namespace ConsoleSyntax
