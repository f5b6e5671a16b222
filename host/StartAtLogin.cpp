// SPDX-License-Identifier: GPL-3.0-or-later
// Run > "Start at Login": an XDG autostart entry for the host.
#include "StartAtLogin.h"

#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// An Exec argument as the desktop entry format wants it: quoted, with ", `, $ and \ escaped
// inside the quotes, then every \ doubled again as the file's string values require, and %
// doubled for the field codes.
QString ExecArgument(const QString& path) {
    QString quoted;
    for (const QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

StartAtLogin::StartAtLogin(QMenu* menu, QWidget* window) : QObject(window), m_window(window) {
    m_item = menu->addAction(QString());
    m_item->setObjectName(QStringLiteral("mnuRunStartAtLogin"));
    m_item->setCheckable(true);
    m_item->setChecked(QFile::exists(EntryPath()));
    connect(m_item, &QAction::triggered, this, &StartAtLogin::mnuRunStartAtLogin_Click);
}

StartAtLogin::~StartAtLogin() = default;

void StartAtLogin::ApplyLanguage() {
    m_item->setText(Tr(QStringLiteral("Start at Login"), QStringLiteral("ログイン時に起動")));
}

QString StartAtLogin::EntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/TESSORAH.desktop");
}

QByteArray StartAtLogin::Entry(const QString& program) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=TESSORA-H\n"
                          "Comment=Answer voice calls from TESSORA-R remote stations\n"
                          "Comment[ja]=TESSORA-Rリモート・ステーションからの音声通話に応答します\n"
                          "Exec=%1 --online --tray\n"
                          "Icon=TESSORAH\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(ExecArgument(program))
        .toUtf8();
}

void StartAtLogin::mnuRunStartAtLogin_Click(bool on) {
    const QString path = EntryPath();
    bool done = false;
    if (on) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        done = file.open(QIODevice::WriteOnly) &&
               file.write(Entry(QCoreApplication::applicationFilePath())) >= 0 && file.commit();
    } else {
        done = !QFile::exists(path) || QFile::remove(path);
    }
    if (done)
        return;
    m_item->setChecked(QFile::exists(path));
    ShowErrorBox(m_window, (on ? Tr(QStringLiteral("The autostart entry could not be written:\r\n%1"),
                                   QStringLiteral("自動起動のエントリーを書き込めませんでした:\r\n%1"))
                               : Tr(QStringLiteral("The autostart entry could not be removed:\r\n%1"),
                                   QStringLiteral("自動起動のエントリーを削除できませんでした:\r\n%1")))
                               .arg(QDir::toNativeSeparators(path)));
}
