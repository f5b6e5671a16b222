// SPDX-License-Identifier: GPL-3.0-or-later
// Opens the station's help file at its contents, its index or a window's topic.
#include "modHelpConst.h"

#include "HelpViewer.h"
#include "modHvnRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QShortcut>
#include <QWidget>

namespace {

const char* const kHelpFileProperty = "tessoraHelpFile";
const char* const kHelpContextProperty = "tessoraHelpContext";

} // namespace

qint32 ShowHelp(const QString& helpFile, qint32 command, qint32 contextNumber,
                const QString& data) {
    switch (command) {
    case HH_DISPLAY_TOC:
    case HH_DISPLAY_INDEX:
    case HH_HELP_CONTEXT: {
        HelpViewer* viewer = HelpViewer::Instance();
        if (viewer == nullptr)
            return 0;
        bool shown = false;
        if (command == HH_DISPLAY_TOC)
            shown = viewer->ShowContents(helpFile);
        else if (command == HH_DISPLAY_INDEX)
            shown = viewer->ShowIndex(helpFile, data);
        else
            shown = viewer->ShowContext(helpFile, contextNumber);
        return shown ? 1 : 0;
    }
    case HH_CLOSE_ALL:
        // Closing what was never opened needs no window.
        if (HelpViewer* viewer = HelpViewer::Existing())
            viewer->CloseAll();
        return 0;
    default:
        return 0;
    }
}

QString HelpFilePath(const QString& programBase) {
    const QString language = g_strLanguage == QLatin1String("Japanese")
                                 ? QStringLiteral("(Japanese).qhc")
                                 : QStringLiteral("(English).qhc");
    return QDir(QCoreApplication::applicationDirPath()).filePath(programBase + language);
}

void SetHelpContext(QWidget* window, const QString& helpFile, qint32 contextNumber) {
    if (window == nullptr)
        return;
    // One shortcut per window; setting the context again only changes what it opens.
    window->setProperty(kHelpFileProperty, helpFile);
    window->setProperty(kHelpContextProperty, contextNumber);
    const QString name = QStringLiteral("helpContextShortcut");
    if (window->findChild<QShortcut*>(name, Qt::FindDirectChildrenOnly) != nullptr)
        return;
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F1), window);
    shortcut->setObjectName(name);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, [window] {
        ShowHelp(window->property(kHelpFileProperty).toString(), HH_HELP_CONTEXT,
                 window->property(kHelpContextProperty).toInt(), QString());
    });
}
