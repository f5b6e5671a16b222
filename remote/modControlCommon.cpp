// SPDX-License-Identifier: GPL-3.0-or-later
// The remote station's connection list and last used connection, in memory and on disk.
#include "modControlCommon.h"

#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <limits>
#include <utility>

std::vector<ConnectionRecord> g_udtConnections;
qint16 g_intLastConnectionIndex = -1;
QString g_strSelectItem;
int g_intEditMode = EDIT_MODE_ADD;

namespace {

void ReportSaveFailure(const QString& path) {
    ShowErrorBox(nullptr,
                 Tr(QStringLiteral("The file \"%1\" could not be saved.\r\n"
                                   "Check that the program's folder can be written to.")
                        .arg(path),
                    QStringLiteral("ファイル「%1」を保存できませんでした。\r\n"
                                   "プログラムのフォルダーに書き込めるか確認してください。")
                        .arg(path)));
}

bool HasRequiredFields(const ConnectionRecord& r) {
    return !r.ConnectName.isEmpty() && !r.IpAddress.isEmpty() && !r.PortNo.isEmpty() &&
           !r.UserName.isEmpty() && !r.Password.isEmpty();
}

} // namespace

QString FormatConnectionLine(const ConnectionRecord& r) {
    return QStringLiteral("ConnectName=") + r.ConnectName + QStringLiteral("&Description=") +
           r.Description + QStringLiteral("&IP Address=") + r.IpAddress +
           QStringLiteral("&PortNo=") + r.PortNo + QStringLiteral("&UserName=") + r.UserName +
           QStringLiteral("&Password=") + r.Password;
}

bool ParseConnectionLine(const QString& line, ConnectionRecord* record) {
    // At most six pieces: the password, last, keeps any further "&".
    QStringList pieces;
    qsizetype start = 0;
    while (pieces.size() < 5) {
        const qsizetype amp = line.indexOf(QLatin1Char('&'), start);
        if (amp < 0)
            break;
        pieces << line.mid(start, amp - start);
        start = amp + 1;
    }
    pieces << line.mid(start);
    if (pieces.size() < 6)
        return false;

    // Only the first "=" of a piece ends its key; the key names themselves are not compared.
    QString values[6];
    for (int i = 0; i < 6; ++i) {
        const qsizetype eq = pieces[i].indexOf(QLatin1Char('='));
        if (eq < 0)
            return false;
        values[i] = pieces[i].mid(eq + 1);
    }
    *record = ConnectionRecord{values[0], values[1], values[2], values[3], values[4], values[5]};
    return true;
}

bool LoadConnectionList() {
    g_intLastConnectionIndex = -1;
    g_udtConnections.clear();
    const QString path = ProgramFile(QString::fromLatin1(kConnectionListFile));
    if (!FileExists(path))
        return false;
    const TextFile file = ReadTextFile(path);
    // A damaged line is passed over; the rest of the file still loads.
    NotHeld notHeld;
    for (const QString& line : file.lines) {
        ConnectionRecord record;
        if (!ParseConnectionLine(line, &record) || !HasRequiredFields(record)) {
            ++notHeld.leftOut;
        } else if (g_intLastConnectionIndex == std::numeric_limits<qint16>::max()) {
            ++notHeld.beyondLimit;
        } else {
            AddConnection(record);
            if (FormatConnectionLine(record) != line)
                ++notHeld.changed;
        }
    }
    KeepOriginalUnlessHeld(file, notHeld, std::numeric_limits<qint16>::max() + 1);
    return true;
}

bool SaveConnectionList() {
    QStringList lines;
    for (int i = 0; i <= g_intLastConnectionIndex; ++i)
        lines << FormatConnectionLine(g_udtConnections[static_cast<size_t>(i)]);
    const QString path = ProgramFile(QString::fromLatin1(kConnectionListFile));
    if (WriteTextLines(path, lines))
        return true;
    ReportSaveFailure(path);
    return false;
}

bool LoadSelectItem() {
    g_strSelectItem.clear();
    // Split at every "=": a name holding "=" reads back only up to it.
    return ReadSettingValue(ProgramFile(QString::fromLatin1(kSettingsFile)),
                            QStringLiteral("[INIT]"), QStringLiteral("SelectItem"),
                            g_strSelectItem);
}

bool SaveSelectItem() {
    const QString path = ProgramFile(QString::fromLatin1(kSettingsFile));
    if (WriteTextLines(path,
                       {QStringLiteral("[INIT]"), QStringLiteral("SelectItem=") + g_strSelectItem}))
        return true;
    ReportSaveFailure(path);
    return false;
}

void AddConnection(const ConnectionRecord& record) {
    if (!HasRequiredFields(record))
        return;
    // The index is 16-bit: past its top the list would wrap round and lose its order.
    if (g_intLastConnectionIndex == std::numeric_limits<qint16>::max())
        return;
    ++g_intLastConnectionIndex;
    g_udtConnections.resize(static_cast<size_t>(g_intLastConnectionIndex) + 1);
    g_udtConnections.back() = record;
}

bool DeleteConnection(int position) {
    if (position < 1 || position > g_intLastConnectionIndex + 1) {
        ShowErrorBox(nullptr, Tr(QStringLiteral("The entered value is not correct."),
                                 QStringLiteral("入力された値が正しくありません。")));
        return false;
    }
    g_udtConnections.erase(g_udtConnections.begin() + (position - 1));
    --g_intLastConnectionIndex;
    return true;
}

int FindConnection(const QString& name) {
    for (int i = 0; i <= g_intLastConnectionIndex; ++i)
        if (g_udtConnections[static_cast<size_t>(i)].ConnectName == name)
            return i;
    return -1;
}
