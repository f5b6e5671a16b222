// SPDX-License-Identifier: GPL-3.0-or-later
// Every window and dialog of a station, in both languages, read as a screen reader reads
// it (QAccessible interfaces): each interactive widget and menu item has a name, each picture
// a name and a description. Built once per station (TESSORA_STATION_HOST or _REMOTE).
#include "StationTestSupport.h"
#include "TavrinoClient.h"
#include "frmAbout.h"
#include "frmDetailedSetup.h"
#include "frmMain.h"
#include "frmSetup.h"
#ifdef TESSORA_STATION_HOST
#include "HelpViewer.h"
#include "frmAudioSettings.h"
#include "frmMessage.h"
#include "modHelpConst.h"
#include "modHost.h"
#else
#include "modControlCommon.h"
#endif

#include <QAccessible>
#include <QMenu>
#include <gtest/gtest.h>

#include <set>

namespace {

struct Window {
    const char* name;
    std::function<QWidget*(QWidget* main)> open; // the main window itself when null
};

// Roles an operator works with, which a reader must be able to name.
const std::set<QAccessible::Role> kInteractive = {
    QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
    QAccessible::EditableText, QAccessible::SpinBox, QAccessible::List, QAccessible::Tree,
    QAccessible::Table, QAccessible::PageTab, QAccessible::MenuItem, QAccessible::ProgressBar};

// What a reader could not tell about `node` and everything below it; `walked` counts them.
void Walk(QAccessibleInterface* node, const QString& path, QStringList* faults, int* walked) {
    for (int i = 0; node != nullptr && i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (child == nullptr || qobject_cast<QMenu*>(child->object()))
            continue; // menus are walked as windows of their own
        // Qt's own parts that show only when needed (a tool bar's overflow button).
        if (child->state().invisible && child->object() &&
            child->object()->objectName().startsWith("qt_"))
            continue;
        ++*walked;
        const QString name = child->text(QAccessible::Name);
        const QString own = child->object() ? child->object()->objectName() : QString();
        const QString where = path + '/' + (own.isEmpty() ? QString::number(i) : own);
        if (kInteractive.count(child->role()) && name.isEmpty() && !child->state().disabled /* separators */)
            *faults << where + " has no name";
        if (child->role() == QAccessible::Graphic &&
            (name.isEmpty() || child->text(QAccessible::Description).isEmpty()))
            *faults << where + " is a picture without a name or description";
        Walk(child, where, faults, walked);
    }
}

class Accessibility : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(Accessibility, EveryWidgetOfEveryWindowCanBeNamedByAReader) {
    TestFolder folder;
    LanguageSetting language{GetParam()};
    auto main = std::make_unique<frmMain>();
    ASSERT_TRUE(main->Form_Load());
#ifdef TESSORA_STATION_HOST
    g_udtUsers = {UserRecord{}, UserRecord{"alice", "pw", 1, "desk"}}; // a disabled user's mark
    g_intUserCount = 1;
    const int first = 1; // the host counts its users from 1, the remote its connections from 0
    const AboutInfo about = HostAboutInfo({});
#else
    g_udtConnections = {ConnectionRecord{"Office", "desk", "127.0.0.1", "33550", "bob", "pw"}};
    g_intLastConnectionIndex = 0;
    const int first = 0;
    const AboutInfo about = RemoteAboutInfo({});
#endif
    std::vector<Window> windows = {
        {"frmMain", nullptr},
        {"frmSetup", [](QWidget* m) { return new frmSetup(m); }},
        {"frmDetailedSetup add", [&](QWidget* m) { g_intEditMode = EDIT_MODE_ADD; return new frmDetailedSetup(first - 1, m); }},
        {"frmDetailedSetup edit", [&](QWidget* m) { g_intEditMode = EDIT_MODE_EDIT; return new frmDetailedSetup(first, m); }},
        {"frmAbout", [&](QWidget* m) { return new frmAbout(about, m); }},
    };
#ifdef TESSORA_STATION_HOST // the windows both stations share
    windows.insert(windows.end(), {
        {"frmAudioSettings", [](QWidget* m) {
             return new frmAudioSettings(m->findChild<TavrinoClient*>("TavrinoStandard"), false, {}, m); }},
        {"frmMessage", [](QWidget* m) { return new frmMessage(m); }},
        {"HelpViewer", [](QWidget*) {
             HelpViewer::Instance()->ShowContents(HelpFilePath("TESSORAH"));
             return HelpViewer::Instance(); }},
    });
#endif
    main->show();
    int walked = 0;
    for (const Window& w : windows) {
        QWidget* window = w.open ? w.open(main.get()) : main.get();
        window->show();
        QStringList faults;
        Walk(QAccessible::queryAccessibleInterface(window), window->objectName(), &faults, &walked);
        for (QMenu* menu : window->findChildren<QMenu*>()) // the menus, the tray's among them
            Walk(QAccessible::queryAccessibleInterface(menu), menu->objectName(), &faults, &walked);
        EXPECT_TRUE(faults.isEmpty()) << w.name << ":\n  " << faults.join("\n  ").toStdString();
        if (window->parentWidget() == main.get())
            delete window; // while the control it may use lives; the viewer is the application's
    }
    std::printf("%s: %zu windows, %d accessible objects read\n", GetParam(), windows.size(), walked);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, Accessibility, ::testing::Values("English", "Japanese"));
