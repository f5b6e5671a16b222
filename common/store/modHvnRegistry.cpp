// SPDX-License-Identifier: GPL-3.0-or-later
#include "modHvnRegistry.h"

#include "LocalText.h"
#include "modHvnFileOperation.h"
#include "modStationEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

QString g_strLanguage = QStringLiteral("English");

QString GetRegistryString(quint32 rootKey, const QString& subKey, const QString& valueName) {
    if (rootKey != HKEY_LOCAL_MACHINE)
        return {};
    // "SOFTWARE\<organisation>\<application>[\group...]" maps onto
    // <config dir>/<organisation>/<application>.conf and its groups.
    QStringList parts = subKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 3 || parts.first().compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) != 0)
        return {};
    const QString organisation = parts.at(1);
    const QString application = parts.at(2);
    const QStringList groups = parts.mid(3);

    for (const QString& dir : SystemConfigFolders()) {
        const QString file =
            QDir(dir).filePath(organisation + QLatin1Char('/') + application + QStringLiteral(".conf"));
        if (!QFileInfo::exists(file))
            continue;
        // The settings library would wait forever on a pipe, or take in a file of any size.
        if (!IsPlainFileOfSaneSize(file)) {
            NoteUnreadableFile(file);
            return {};
        }
        QSettings settings(file, QSettings::NativeFormat);
        if (settings.status() != QSettings::NoError)
            return {};
        for (const QString& g : groups)
            settings.beginGroup(g);
        const QVariant v = settings.value(valueName);
        // Only a plain text value counts, as a string-typed registry value.
        if (v.typeId() != QMetaType::QString)
            return {};
        const QString text = v.toString();
        if (Tavrino::EncodeLocalText(text).size() > 255)
            return {};
        const qsizetype nul = text.indexOf(QChar(0));
        return nul < 0 ? text : text.left(nul);
    }
    return {};
}

void ReadLanguageSetting() {
    const QString value = GetRegistryString(
        HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\HALVORN Corporation\\TESSORA"),
        QStringLiteral("Language"));
    g_strLanguage = value == QLatin1String("Japanese") ? QStringLiteral("Japanese")
                                                       : QStringLiteral("English");
}
