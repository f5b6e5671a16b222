// SPDX-License-Identifier: GPL-3.0-or-later
// The host's user list: records, lookup by name and password, and the two
// files in the program's folder that keep the list and the listen port.
#include "modHost.h"

#include "LocalText.h"
#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QApplication>

#include <limits>

std::vector<UserRecord> g_udtUsers(1);
qint16 g_intUserCount = 0;
qint16 g_intEditMode = 0;

namespace {

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

// Rewrites a file of the program's folder; a failed save keeps the previous
// contents whole and is reported to the operator.
bool WriteLines(const QString& fileName, const QStringList& lines) {
    const QString path = ProgramFile(fileName);
    const bool ok = WriteTextLines(path, lines);
    if (!ok)
        ShowErrorBox(DialogParent(), Tr(QStringLiteral("The file \"%1\" could not be saved.\r\n"
                                                       "Its previous contents have been kept.")
                                            .arg(path),
                                        QStringLiteral("ファイル「%1」を保存できませんでした。\r\n"
                                                       "以前の内容はそのまま残っています。")
                                            .arg(path)));
    return ok;
}

// The flag as stored. A damaged flag (no "=", not a number) cannot say
// "may call": such a user is kept, but disabled.
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

// Fields go by position; the last one keeps any further "&".
UserRecord ParseUserLine(const QString& line) {
    const QStringList parts = line.split(QLatin1Char('&'));
    auto part = [&parts](int i) -> QString {
        if (i < 3)
            return i < parts.size() ? parts.at(i) : QString();
        return parts.size() > 3 ? parts.mid(3).join(QLatin1Char('&')) : QString();
    };
    UserRecord record;
    record.UserName = ValueOfPart(part(0));
    record.Password = ValueOfPart(part(1));
    bool flagHasValue = false;
    const QString flag = ValueOfPart(part(2), &flagHasValue);
    record.Disabled = parts.size() > 2 ? ParseDisabled(flag, flagHasValue) : 0;
    record.Description = ValueOfPart(part(3));
    return record;
}

QString FormatUserLine(const UserRecord& user) {
    return QStringLiteral("ID=") + user.UserName + QStringLiteral("&PASSWORD=") + user.Password +
           QStringLiteral("&Enable=") + QString::number(user.Disabled) +
           QStringLiteral("&ConnectName=") + user.Description;
}

} // namespace

QString ValueOfPart(const QString& part, bool* found) {
    const qsizetype eq = part.indexOf(QLatin1Char('='));
    if (found)
        *found = eq >= 0;
    return eq < 0 ? QString() : part.mid(eq + 1);
}

qint16 FindUser(const QString& userName, const QString& password) {
    if (userName.isEmpty() || password.isEmpty())
        return -1;
    // As the bytes they stand for: a caller's bytes that do not decode match
    // only the very same stored bytes.
    const QByteArray name = Tavrino::EncodeLocalText(userName);
    const QByteArray secret = Tavrino::EncodeLocalText(password);
    // An int counter: a 16-bit one would wrap round after a full table's last user.
    for (int i = 1; i <= g_intUserCount; ++i) {
        const UserRecord& user = g_udtUsers[static_cast<size_t>(i)];
        if (Tavrino::EncodeLocalText(user.UserName) == name &&
            Tavrino::EncodeLocalText(user.Password) == secret)
            return static_cast<qint16>(i);
    }
    return -1;
}

qint16 FindUserByName(const QString& userName) {
    if (userName.isEmpty())
        return -1;
    const QByteArray name = Tavrino::EncodeLocalText(userName);
    for (int i = 1; i <= g_intUserCount; ++i)
        if (Tavrino::EncodeLocalText(g_udtUsers[static_cast<size_t>(i)].UserName) == name)
            return static_cast<qint16>(i);
    return -1;
}

bool IsUserDisabled(qint16 index) {
    if (index < 1 || index > g_intUserCount)
        return false;
    return g_udtUsers[static_cast<size_t>(index)].Disabled != 0;
}

bool AddUser(const UserRecord& record) {
    if (record.UserName.isEmpty() || record.Password.isEmpty())
        return false;
    if (g_intUserCount == std::numeric_limits<qint16>::max())
        return false;
    ++g_intUserCount;
    g_udtUsers.resize(static_cast<size_t>(g_intUserCount) + 1);
    g_udtUsers[static_cast<size_t>(g_intUserCount)] = record;
    return true;
}

bool DeleteUser(qint16 index) {
    if (index < 1 || index > g_intUserCount) {
        ShowErrorBox(DialogParent(), Tr(QStringLiteral("The entered value is not correct."),
                                        QStringLiteral("入力された値が正しくありません。")));
        return false;
    }
    g_udtUsers.erase(g_udtUsers.begin() + index);
    --g_intUserCount;
    return true;
}

bool LoadUserList() {
    g_intUserCount = 0;
    g_udtUsers.assign(1, UserRecord{});
    const QString path = ProgramFile(QString::fromLatin1(kUserListFileName));
    if (!FileExists(path))
        return false;
    const TextFile file = ReadTextFile(path);
    NotHeld notHeld;
    for (const QString& line : file.lines) {
        const UserRecord record = ParseUserLine(line);
        if (record.UserName.isEmpty() || record.Password.isEmpty())
            ++notHeld.leftOut;
        else if (!AddUser(record))
            ++notHeld.beyondLimit;
        else if (FormatUserLine(record) != line)
            ++notHeld.changed;
    }
    KeepOriginalUnlessHeld(file, notHeld, std::numeric_limits<qint16>::max());
    return true;
}

bool SaveUserList() {
    QStringList lines;
    for (int i = 1; i <= g_intUserCount; ++i)
        lines << FormatUserLine(g_udtUsers[static_cast<size_t>(i)]);
    return WriteLines(QString::fromLatin1(kUserListFileName), lines);
}

bool LoadHostSettings(QString& listenPort) {
    return ReadSettingValue(ProgramFile(QString::fromLatin1(kHostSettingsFileName)),
                            QStringLiteral("[Main]"), QStringLiteral("ListenPortNo"), listenPort);
}

bool SaveHostSettings(const QString& listenPort) {
    return WriteLines(QString::fromLatin1(kHostSettingsFileName),
                      {QStringLiteral("[Main]"), QStringLiteral("ListenPortNo=") + listenPort});
}
