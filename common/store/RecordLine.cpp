// SPDX-License-Identifier: GPL-3.0-or-later
// The "key=value&key=value..." lines of the stations' lists and of a caller's user data.
#include "RecordLine.h"

RecordLine::RecordLine(const QString& line, int pieces) : m_wanted(pieces) {
    qsizetype start = 0;
    while (m_pieces.size() < pieces - 1) {
        const qsizetype amp = line.indexOf(QLatin1Char('&'), start);
        if (amp < 0)
            break;
        m_pieces << line.mid(start, amp - start);
        start = amp + 1;
    }
    m_pieces << line.mid(start);
}

QString RecordLine::Value(int i) const {
    if (!HasValue(i))
        return {};
    const QString& piece = m_pieces.at(i);
    return piece.mid(piece.indexOf(QLatin1Char('=')) + 1);
}

bool RecordLine::HasValue(int i) const {
    return i >= 0 && i < Size() && m_pieces.at(i).contains(QLatin1Char('='));
}

bool RecordLine::IsComplete() const {
    for (int i = 0; i < m_wanted; ++i)
        if (!HasValue(i))
            return false;
    return true;
}

QString RecordLine::Write(std::initializer_list<std::pair<const char*, QString>> fields) {
    QStringList pieces;
    for (const auto& [key, value] : fields)
        pieces << QLatin1String(key) + QLatin1Char('=') + value;
    return pieces.join(QLatin1Char('&'));
}
