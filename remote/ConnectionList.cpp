// SPDX-License-Identifier: GPL-3.0-or-later
// A table of the remote's stored connections and the file that keeps it.
#include "ConnectionList.h"

#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"

#include <limits>

namespace {

// The index is 16-bit: past its top the list would wrap round and lose its order.
constexpr qint16 kTopIndex = std::numeric_limits<qint16>::max();

bool HasRequiredFields(const ConnectionRecord& r) {
    return !r.ConnectName.isEmpty() && !r.IpAddress.isEmpty() && !r.PortNo.isEmpty() &&
           !r.UserName.isEmpty() && !r.Password.isEmpty();
}

StoreResult SaveRemoteFile(const char* fileName, const QStringList& lines) {
    return SaveStationFile(
        ProgramFile(QString::fromLatin1(fileName)), lines,
        Tr(QStringLiteral("Check that the program's folder can be written to."),
           QStringLiteral("プログラムのフォルダーに書き込めるか確認してください。")));
}

} // namespace

bool ConnectionList::Add(const ConnectionRecord& record) {
    if (!HasRequiredFields(record) || m_lastIndex == kTopIndex)
        return false;
    ++m_lastIndex;
    m_records.resize(static_cast<size_t>(m_lastIndex) + 1);
    m_records.back() = record;
    return true;
}

StoreResult ConnectionList::Delete(int position) {
    if (position < 1 || position > m_lastIndex + 1)
        return StoreResult::Failed(Tr(QStringLiteral("The entered value is not correct."),
                                      QStringLiteral("入力された値が正しくありません。")));
    m_records.erase(m_records.begin() + (position - 1));
    --m_lastIndex;
    return {};
}

int ConnectionList::Find(const QString& name) const {
    for (int i = 0; i <= m_lastIndex; ++i)
        if (m_records[static_cast<size_t>(i)].ConnectName == name)
            return i;
    return -1;
}

bool ConnectionList::Load() {
    m_lastIndex = -1;
    m_records.clear();
    // A damaged line is passed over; the rest of the file still loads.
    return LoadListFile(ProgramFile(QString::fromLatin1(kConnectionListFile)), kTopIndex + 1,
                        [this](const QString& line) {
                            ConnectionRecord record;
                            if (!ParseConnectionLine(line, &record) || !HasRequiredFields(record))
                                return LineTaken::LeftOut;
                            return TakenAs(Add(record), FormatConnectionLine(record), line);
                        });
}

StoreResult ConnectionList::Save() const {
    QStringList lines;
    for (int i = 0; i <= m_lastIndex; ++i)
        lines << FormatConnectionLine(m_records[static_cast<size_t>(i)]);
    return SaveRemoteFile(kConnectionListFile, lines);
}

bool ConnectionList::LoadSelectItem() {
    m_selectItem.clear();
    // Split at every "=": a name holding "=" reads back only up to it.
    return ReadSettingValue(ProgramFile(QString::fromLatin1(kSettingsFile)),
                            QStringLiteral("[INIT]"), QStringLiteral("SelectItem"), m_selectItem);
}

StoreResult ConnectionList::SaveSelectItem() const {
    return SaveRemoteFile(kSettingsFile,
                          {QStringLiteral("[INIT]"), QStringLiteral("SelectItem=") + m_selectItem});
}

ConnectionList RemoteConnections() {
    return ConnectionList(g_udtConnections, g_intLastConnectionIndex, g_strSelectItem);
}
