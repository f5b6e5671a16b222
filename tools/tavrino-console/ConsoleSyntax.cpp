// SPDX-License-Identifier: GPL-3.0-or-later
// ConsoleSyntax: the line syntax of tavrino-console: parsing command lines and quoting strings.
#include "ConsoleSyntax.h"

#include "LocalText.h"

#include <cctype>

namespace ConsoleSyntax {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at line[*pos] == '"'; leaves *pos after the closing quote.
bool ReadString(const QByteArray& line, qsizetype* pos, QByteArray* out, QString* error) {
    qsizetype i = *pos + 1;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c != '\\') {
            out->append(c);
            ++i;
            continue;
        }
        if (i + 1 >= line.size())
            break;
        const char e = line[i + 1];
        switch (e) {
        case '"':
        case '\\':
            out->append(e);
            i += 2;
            break;
        case 'n':
            out->append('\n');
            i += 2;
            break;
        case 'r':
            out->append('\r');
            i += 2;
            break;
        case 't':
            out->append('\t');
            i += 2;
            break;
        case 'x': {
            const int hi = i + 2 < line.size() ? HexValue(line[i + 2]) : -1;
            const int lo = i + 3 < line.size() ? HexValue(line[i + 3]) : -1;
            if (hi < 0 || lo < 0) {
                *error = QStringLiteral("\\x needs two hex digits");
                return false;
            }
            out->append(static_cast<char>(hi * 16 + lo));
            i += 4;
            break;
        }
        default:
            *error = QStringLiteral("unknown escape \\%1").arg(QChar::fromLatin1(e));
            return false;
        }
    }
    *error = QStringLiteral("unterminated string");
    return false;
}

bool ReadInteger(const QByteArray& word, qint64* value) {
    qsizetype i = 0;
    if (i < word.size() && (word[i] == '+' || word[i] == '-'))
        ++i;
    if (i == word.size())
        return false;
    for (qsizetype j = i; j < word.size(); ++j)
        if (!std::isdigit(static_cast<unsigned char>(word[j])))
            return false;
    bool ok = false;
    *value = word.toLongLong(&ok, 10);
    return ok;
}

} // namespace

bool Parse(const QByteArray& line, Command* command, QString* error) {
    *command = Command();
    qsizetype pos = 0;
    auto skipSpaces = [&] {
        while (pos < line.size() && IsSpace(line[pos]))
            ++pos;
    };
    auto readWord = [&] {
        const qsizetype start = pos;
        while (pos < line.size() && !IsSpace(line[pos]))
            ++pos;
        return line.mid(start, pos - start);
    };

    skipSpaces();
    if (pos == line.size())
        return true; // blank line
    command->name = QString::fromLocal8Bit(readWord());

    for (int index = 1;; ++index) {
        skipSpaces();
        if (pos == line.size())
            return true;
        if (line[pos] == '"') {
            QByteArray bytes;
            if (!ReadString(line, &pos, &bytes, error))
                return false;
            if (pos < line.size() && !IsSpace(line[pos])) {
                *error = QStringLiteral("argument %1: text after the closing quote").arg(index);
                return false;
            }
            command->args.append(Tavrino::DecodeLocalText(bytes)); // the control gets these bytes
            continue;
        }
        const QByteArray word = readWord();
        qint64 number = 0;
        if (word == "TRUE") {
            command->args.append(true);
        } else if (word == "FALSE") {
            command->args.append(false);
        } else if (ReadInteger(word, &number)) {
            command->args.append(number);
        } else {
            *error = QStringLiteral("argument %1: %2 is not an integer, TRUE, FALSE or a string")
                         .arg(index)
                         .arg(QString::fromLocal8Bit(word));
            return false;
        }
    }
}

QByteArray Quote(const QString& text) {
    const QByteArray bytes = Tavrino::EncodeLocalText(text);
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out.append('"');
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (u < 0x20 || u == 0x7f) {
                static const char digits[] = "0123456789ABCDEF";
                out.append("\\x");
                out.append(digits[u >> 4]);
                out.append(digits[u & 0x0f]);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
    return out;
}

} // namespace ConsoleSyntax
