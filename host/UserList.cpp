// SPDX-License-Identifier: GPL-3.0-or-later
// A table of the host's users and the file that keeps it.
#include "UserList.h"

#include "LocalText.h"
#include "RecordLine.h"
#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"

#include <limits>

namespace {

// The flag as stored. A damaged flag (no "=", not a number) cannot say "may call": such a
// user is kept, but disabled.
qint16 ParseDisabled(const QString& text, bool hasValue) {
    if (!hasValue)
        return 1;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < std::numeric_limits<qint16>::min() ||
        value > std::numeric_limits<qint16>::max())
        return 1;
    return static_cast<qint16>(value);
}

// Fields go by position; the last one keeps any further "&". Missing pieces leave their
// fields empty, and a line without a flag piece at all may call.
UserRecord ParseUserLine(const QString& line) {
    const RecordLine fields(line, 4);
    return {fields.Value(0), fields.Value(1),
            fields.Size() > 2 ? ParseDisabled(fields.Value(2), fields.HasValue(2)) : qint16(0),
            fields.Value(3)};
}

QString FormatUserLine(const UserRecord& user) {
    return RecordLine::Write({{"ID", user.UserName},
                              {"PASSWORD", user.Password},
                              {"Enable", QString::number(user.Disabled)},
                              {"ConnectName", user.Description}});
}

} // namespace

qint16 UserList::Find(const QString& userName, const QString& password) const {
    if (userName.isEmpty() || password.isEmpty())
        return -1;
    // As the bytes they stand for: a caller's bytes that do not decode match only the
    // very same stored bytes.
    const QByteArray name = Tavrino::EncodeLocalText(userName);
    const QByteArray secret = Tavrino::EncodeLocalText(password);
    // An int counter: a 16-bit one would wrap round after a full table's last user.
    for (int i = 1; i <= m_count; ++i)
        if (Tavrino::EncodeLocalText(At(i).UserName) == name &&
            Tavrino::EncodeLocalText(At(i).Password) == secret)
            return static_cast<qint16>(i);
    return -1;
}

qint16 UserList::FindByName(const QString& userName) const {
    if (userName.isEmpty())
        return -1;
    const QByteArray name = Tavrino::EncodeLocalText(userName);
    for (int i = 1; i <= m_count; ++i)
        if (Tavrino::EncodeLocalText(At(i).UserName) == name)
            return static_cast<qint16>(i);
    return -1;
}

bool UserList::IsDisabled(qint16 index) const {
    return index >= 1 && index <= m_count && At(index).Disabled != 0;
}

bool UserList::Add(const UserRecord& record) {
    if (record.UserName.isEmpty() || record.Password.isEmpty() ||
        m_count == std::numeric_limits<qint16>::max())
        return false;
    ++m_count;
    m_users.resize(static_cast<size_t>(m_count) + 1);
    At(m_count) = record;
    return true;
}

StoreResult UserList::Delete(qint16 index) {
    if (index < 1 || index > m_count)
        return StoreResult::Failed(Tr(QStringLiteral("The entered value is not correct."),
                                      QStringLiteral("入力された値が正しくありません。")));
    m_users.erase(m_users.begin() + index);
    --m_count;
    return {};
}

bool UserList::Load() {
    m_count = 0;
    m_users.assign(1, UserRecord{});
    return LoadListFile(ProgramFile(QString::fromLatin1(kUserListFileName)),
                        std::numeric_limits<qint16>::max(), [this](const QString& line) {
                            const UserRecord record = ParseUserLine(line);
                            if (record.UserName.isEmpty() || record.Password.isEmpty())
                                return LineTaken::LeftOut;
                            return TakenAs(Add(record), FormatUserLine(record), line);
                        });
}

StoreResult UserList::Save() const {
    QStringList lines;
    for (int i = 1; i <= m_count; ++i)
        lines << FormatUserLine(At(i));
    return SaveHostFile(QString::fromLatin1(kUserListFileName), lines);
}

UserList HostUsers() {
    return UserList(g_udtUsers, g_intUserCount);
}
