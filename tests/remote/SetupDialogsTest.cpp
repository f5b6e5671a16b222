// SPDX-License-Identifier: GPL-3.0-or-later
// The connection setup dialogs: the OK rule, what the fields accept, add and edit, the list,
// its limit and its context menu, in both languages.
#include "RemoteTestSupport.h"
#include "frmDetailedSetup.h"
#include "frmSetup.h"
#include "modConnectionSecurity.h"
#include "modControlCommon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {

QLineEdit* Box(QWidget* dialog, const char* name) {
    return Find<QLineEdit>(dialog, name);
}

using DetailedSetupWatcher = ModalDriver<frmDetailedSetup>;

void Fill(QWidget* dialog, const QStringList& values) {
    const char* names[] = {"txtConnectionName", "txtDescription", "txtIpAddress",
                           "txtPortNumber",     "txtUserName",    "txtPassword",
                           "txtRetypePassword"};
    for (int i = 0; i < 7; ++i)
        Box(dialog, names[i])->setText(values[i]);
}

} // namespace

TEST(RemoteDialogs, OkFollowsTheRule) {
    std::vector<std::tuple<const char*, QStringList, bool>> rows;
    auto row = [&rows](const char* tag, QStringList f, bool enabled) {
        rows.emplace_back(tag, f, enabled);
    };
    const QStringList good{"Home", "", "10.0.0.1", "33550", "user", "Secret", "Secret"};
    auto with = [&good](int i, const QString& v) {
        QStringList f = good;
        f[i] = v;
        return f;
    };
    row("complete, empty description", good, true);
    row("port 1023", with(3, "1023"), false);
    row("port 1024", with(3, "1024"), true);
    row("port 65535", with(3, "65535"), true);
    row("port 65536", with(3, "65536"), false);
    row("port 99999", with(3, "99999"), false);
    row("port with a letter", with(3, "12a45"), false);
    row("port with a blank", with(3, " 2000"), false);
    row("port with a sign", with(3, "+2000"), false);
    row("port in wide digits", with(3, QStringLiteral("２０００")), false);
    row("no name", with(0, ""), false);
    row("no address", with(2, ""), false);
    row("no port", with(3, ""), false);
    row("no user", with(4, ""), false);
    row("no retype", with(6, ""), false);
    row("retype differs in case", with(6, "secret"), false);
    QStringList noPassword = good;
    noPassword[5] = noPassword[6] = QString();
    row("no password at all", noPassword, false);
    for (const auto& [tag, fields, enabled] : rows) {
        SCOPED_TRACE(tag);
        RemoteSandbox sandbox;
        g_intEditMode = EDIT_MODE_ADD;
        frmDetailedSetup dialog(-1);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto* ok = Find<QPushButton>(&dialog, "btnOk");
        ASSERT_TRUE(ok);
        ASSERT_FALSE(ok->isEnabled()); // a new record starts incomplete
        Fill(&dialog, fields);
        ASSERT_EQ(ok->isEnabled(), enabled);
        // A disabled OK adds nothing, even when Enter reaches it.
        QTest::keyClick(Box(&dialog, "txtUserName"), Qt::Key_Return);
        ASSERT_EQ(g_intLastConnectionIndex, qint16(enabled ? 0 : -1));
    }
}

TEST(RemoteDialogs, FieldsRefuseWhatTheFileCannotHold) {
    RemoteSandbox sandbox;
    g_intEditMode = EDIT_MODE_ADD;
    frmDetailedSetup dialog(-1);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    for (const char* name :
         {"txtConnectionName", "txtDescription", "txtIpAddress", "txtUserName"}) {
        QLineEdit* box = Box(&dialog, name);
        box->clear();
        QTest::keyClicks(box, QStringLiteral("a&b=c"));
        ASSERT_EQ(box->text(), QStringLiteral("ab=c"));
        // A paste holding the separator is refused whole.
        QApplication::clipboard()->setText(QStringLiteral("x&y"));
        box->selectAll();
        box->paste();
        ASSERT_EQ(box->text(), QStringLiteral("ab=c"));
    }
    for (const char* name : {"txtPassword", "txtRetypePassword"}) {
        QLineEdit* box = Box(&dialog, name);
        QTest::keyClicks(box, QStringLiteral("a&b=c"));
        ASSERT_EQ(box->text(), QStringLiteral("a&b=c"));
        QApplication::clipboard()->setText(QStringLiteral("line\r\nbreak"));
        box->paste();
        ASSERT_EQ(box->text(), QStringLiteral("a&b=c"));
    }
    QLineEdit* port = Box(&dialog, "txtPortNumber");
    port->clear();
    QTest::keyClicks(port, QStringLiteral("1a2-3 .4"));
    ASSERT_EQ(port->text(), QStringLiteral("1234"));
    QTest::keyClick(port, Qt::Key_Backspace);
    ASSERT_EQ(port->text(), QStringLiteral("123"));
    QApplication::clipboard()->setText(QStringLiteral("40x00"));
    port->selectAll();
    port->paste();
    ASSERT_EQ(port->text(), QStringLiteral("123"));
}

TEST(RemoteDialogs, FieldLimitsAndPasswordEcho) {
    RemoteSandbox sandbox;
    g_intEditMode = EDIT_MODE_ADD;
    frmDetailedSetup dialog(-1);
    const std::pair<const char*, int> limits[] = {
        {"txtConnectionName", 32}, {"txtDescription", 128}, {"txtIpAddress", 256},
        {"txtPortNumber", 5},      {"txtUserName", 32},     {"txtPassword", 32},
        {"txtRetypePassword", 32}};
    for (const auto& [name, limit] : limits) {
        QLineEdit* box = Box(&dialog, name);
        box->clear();
        QTest::keyClicks(box, QString(limit + 3, QLatin1Char('7')));
        ASSERT_EQ(box->text().size(), limit);
    }
    ASSERT_EQ(Box(&dialog, "txtPortNumber")->maxLength(), 5);
    for (const char* name : {"txtPassword", "txtRetypePassword"}) {
        QLineEdit* box = Box(&dialog, name);
        box->setText(QStringLiteral("abc"));
        ASSERT_EQ(box->displayText(), QStringLiteral("***"));
    }
    frmDetailedSetup fresh(-1);
    ASSERT_EQ(Box(&fresh, "txtPortNumber")->text(), QStringLiteral("33550"));
}

TEST(RemoteDialogs, AddressIsAnAddressOrAName) {
    const std::pair<const char*, bool> addresses[] = {
        {"192.0.2.7", true},       {"[2001:db8::7]", true},   {"host-1.example.", true},
        {"192.0.2.300", false},    {"[192.0.2.7]", false},    {"192.0.2.7:33550", false},
        {"2001:db8::7::1", false}, {"-host..example", false}, {"ホスト.example", false}};
    for (const auto& [text, taken] : addresses) {
        const QString address = QString::fromUtf8(text);
        RemoteSandbox sandbox;
        MessageBoxRecorder recorder;
        g_intEditMode = EDIT_MODE_ADD;
        frmDetailedSetup dialog(-1);
        Fill(&dialog, {"Home", "", address, "33550", "u", "p", "p"});
        Find<QPushButton>(&dialog, "btnOk")->click();
        ASSERT_EQ(g_intLastConnectionIndex, qint16(taken ? 0 : -1));
        ASSERT_EQ(recorder.boxes.size(), taken ? 0 : 1);
        ASSERT_TRUE(!taken ||
                    g_udtConnections[0].IpAddress == address); // as typed, brackets and all
    }
}

TEST(RemoteDialogs, AddModeAppendsTheRecord) {
    RemoteSandbox sandbox;
    AddConnection(MakeRecord(QStringLiteral("Existing")));
    g_intEditMode = EDIT_MODE_ADD;
    {
        frmDetailedSetup dialog(0);
        Fill(&dialog, {"Existing", "", "h", "2000", "u", "p&w=1", "p&w=1"});
        Find<QPushButton>(&dialog, "btnCancel")->click();
        ASSERT_EQ(g_intLastConnectionIndex, qint16(0));
    }
    frmDetailedSetup dialog(0);
    // Same name as an existing record: names need not be unique.
    ASSERT_TRUE(Box(&dialog, "txtConnectionName")->text().isEmpty());
    Fill(&dialog, {"Existing", "", "h", "2000", "u", "p&w=1", "p&w=1"});
    Find<QPushButton>(&dialog, "btnOk")->click();
    ASSERT_EQ(dialog.result(), int(QDialog::Accepted));
    ASSERT_EQ(g_intLastConnectionIndex, qint16(1));
    const ConnectionRecord& added = g_udtConnections[1];
    ASSERT_EQ(added.ConnectName, QStringLiteral("Existing"));
    ASSERT_EQ(added.Description, QString());
    ASSERT_EQ(added.IpAddress, QStringLiteral("h"));
    ASSERT_EQ(added.PortNo, QStringLiteral("2000"));
    ASSERT_EQ(added.UserName, QStringLiteral("u"));
    ASSERT_EQ(added.Password, QStringLiteral("p&w=1"));
    ASSERT_EQ(g_udtConnections[0].ConnectName, QStringLiteral("Existing"));
    ASSERT_EQ(g_udtConnections[0].Password, QStringLiteral("pw"));
}

TEST(RemoteDialogs, EditModeLocksTheNameAndWritesTheRest) {
    RemoteSandbox sandbox;
    AddConnection(MakeRecord(QStringLiteral("A")));
    AddConnection({QStringLiteral("B"), QString(130, u'd'), QStringLiteral("10.1.1.1"),
                   QStringLiteral("4000"), QStringLiteral("bob"), QStringLiteral("x&y")});
    SetPinned(QStringLiteral("B"), true); // its host answered encrypted once
    g_intEditMode = EDIT_MODE_EDIT;
    frmDetailedSetup dialog(1);
    ASSERT_EQ(Box(&dialog, "txtConnectionName")->text(), QStringLiteral("B"));
    auto* allow = Find<QCheckBox>(&dialog, "chkAllowUnencrypted");
    ASSERT_FALSE(allow->isChecked());
    ASSERT_TRUE(Find<QLabel>(&dialog, "lblPin")->text().startsWith(QStringLiteral("Pinned")));
    allow->setChecked(true);
    Find<QPushButton>(&dialog, "btnClearPin")->click();
    ASSERT_EQ(Box(&dialog, "txtDescription")->text(), QString(130, u'd')); // over its limit, whole
    ASSERT_EQ(Box(&dialog, "txtIpAddress")->text(), QStringLiteral("10.1.1.1"));
    ASSERT_EQ(Box(&dialog, "txtPortNumber")->text(), QStringLiteral("4000"));
    ASSERT_EQ(Box(&dialog, "txtUserName")->text(), QStringLiteral("bob"));
    ASSERT_EQ(Box(&dialog, "txtPassword")->text(), QStringLiteral("x&y"));
    ASSERT_EQ(Box(&dialog, "txtRetypePassword")->text(), QStringLiteral("x&y"));
    auto* ok = Find<QPushButton>(&dialog, "btnOk");
    ASSERT_TRUE(ok->isEnabled()); // a complete record can be confirmed at once

    QLineEdit* name = Box(&dialog, "txtConnectionName");
    ASSERT_TRUE(name->isReadOnly());
    ASSERT_FALSE((name->focusPolicy() & Qt::TabFocus));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(WaitFor([&] { return dialog.focusWidget() == Box(&dialog, "txtDescription"); }));
    QTest::keyClicks(name, QStringLiteral("renamed"));
    ASSERT_EQ(name->text(), QStringLiteral("B"));

    Box(&dialog, "txtDescription")->setText(QString());
    Box(&dialog, "txtIpAddress")->setText(QStringLiteral("host.example"));
    Box(&dialog, "txtPortNumber")->setText(QStringLiteral("5000"));
    Box(&dialog, "txtUserName")->setText(QStringLiteral("robert"));
    Box(&dialog, "txtPassword")->setText(QStringLiteral("new=pw"));
    ASSERT_FALSE(ok->isEnabled());
    Box(&dialog, "txtRetypePassword")->setText(QStringLiteral("new=pw"));
    ASSERT_TRUE(ok->isEnabled());
    ok->click();
    ASSERT_EQ(g_intLastConnectionIndex, qint16(1));
    const ConnectionRecord& r = g_udtConnections[1];
    ASSERT_EQ(r.ConnectName, QStringLiteral("B"));
    ASSERT_EQ(r.Description, QString());
    ASSERT_EQ(r.IpAddress, QStringLiteral("host.example"));
    ASSERT_EQ(r.PortNo, QStringLiteral("5000"));
    ASSERT_EQ(r.UserName, QStringLiteral("robert"));
    ASSERT_EQ(r.Password, QStringLiteral("new=pw"));
    ASSERT_EQ(g_udtConnections[0].UserName, QStringLiteral("user"));
    const ConnectionSecurity security = LoadConnectionSecurity(QStringLiteral("B"));
    ASSERT_TRUE(security.allowUnencrypted && !security.pinned); // beside the record, not in it
}

TEST(RemoteDialogs, ListShowsEveryRecordInOrder) {
    RemoteSandbox sandbox;
    AddConnection({QStringLiteral("Zulu"), QStringLiteral("last letter"), QStringLiteral("h"),
                   QStringLiteral("2000"), QStringLiteral("u"), QStringLiteral("p")});
    AddConnection(MakeRecord(QStringLiteral("Alpha")));
    AddConnection(MakeRecord(QStringLiteral("Zulu")));
    frmSetup setup;
    auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->columnCount(), 2);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    const QStringList names{"Zulu", "Alpha", "Zulu"};
    const QStringList descriptions{"last letter", "Alpha host", "Zulu host"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(list->topLevelItem(i)->text(0), names[i]);
        ASSERT_EQ(list->topLevelItem(i)->text(1), descriptions[i]);
    }
    ASSERT_EQ(list->selectedItems().size(), 1);
    ASSERT_EQ(list->selectedItems().first(), list->topLevelItem(0));
}

TEST(RemoteDialogs, AddStopsAt257Connections) {
    RemoteSandbox sandbox(QStringLiteral("Japanese"));
    MessageBoxRecorder recorder;
    for (int i = 0; i < 256; ++i)
        AddConnection(MakeRecord(QStringLiteral("c%1").arg(i)));
    frmSetup setup;
    auto* add = Find<QPushButton>(&setup, "btnAdd");
    auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");

    // With 256 the dialog still opens: the 257th can be added.
    {
        DetailedSetupWatcher adder([](frmDetailedSetup* d) {
            Fill(d, {"c256", "", "h", "2000", "u", "p", "p"});
            Find<QPushButton>(d, "btnOk")->click();
        });
        add->click();
        ASSERT_EQ(adder.opened, 1);
        ASSERT_EQ(g_intLastConnectionIndex, qint16(256));
        ASSERT_EQ(list->topLevelItemCount(), 257);
        ASSERT_EQ(list->topLevelItem(256)->text(0), QStringLiteral("c256"));
        ASSERT_TRUE(recorder.boxes.isEmpty());

        add->click();
        ASSERT_EQ(adder.opened, 1);
        ASSERT_EQ(g_intLastConnectionIndex, qint16(256));
        ASSERT_EQ(recorder.boxes.size(), 1);
        ASSERT_EQ(recorder.boxes[0].icon, QMessageBox::Warning);
        ASSERT_EQ(recorder.boxes[0].title, QStringLiteral("TESSORA-R"));
        ASSERT_EQ(recorder.boxes[0].text, QStringLiteral("接続をこれ以上追加できません。"));
    }

    // One delete makes room again.
    list->setCurrentItem(list->topLevelItem(10));
    Find<QPushButton>(&setup, "btnDelete")->click();
    ASSERT_EQ(g_intLastConnectionIndex, qint16(255));
    ASSERT_EQ(list->topLevelItemCount(), 256);
    ASSERT_EQ(list->topLevelItem(10)->text(0), QStringLiteral("c11"));
    DetailedSetupWatcher canceller(nullptr);
    add->click();
    ASSERT_EQ(canceller.opened, 1);
    ASSERT_EQ(recorder.boxes.size(), 1);
}

TEST(RemoteDialogs, EditAndDeleteDoNothingWithoutItems) {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    frmSetup setup;
    DetailedSetupWatcher watcher(nullptr);
    Find<QPushButton>(&setup, "btnEdit")->click();
    Find<QPushButton>(&setup, "btnDelete")->click();
    setup.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&setup));
    auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QTest::qWait(50);
    ASSERT_EQ(watcher.opened, 0);
    ASSERT_TRUE(recorder.boxes.isEmpty());
    ASSERT_FALSE(Find<QMenu>(&setup, "cmsMenu")->isVisible());

    // With items but none selected (Ctrl+click clears it), edit and delete still do nothing.
    AddConnection(MakeRecord(QStringLiteral("A")));
    frmSetup withItem;
    auto* itemList = Find<QTreeWidget>(&withItem, "lvwSettingList");
    itemList->clearSelection();
    Find<QPushButton>(&withItem, "btnEdit")->click();
    Find<QPushButton>(&withItem, "btnDelete")->click();
    ASSERT_EQ(watcher.opened, 0);
    ASSERT_EQ(g_intLastConnectionIndex, qint16(0));
    ASSERT_TRUE(recorder.boxes.isEmpty());
}

TEST(RemoteDialogs, ContextMenuFromMouseAndKeyboard) {
    RemoteSandbox sandbox;
    for (const char* name : {"one", "two", "three"})
        AddConnection(MakeRecord(QString::fromLatin1(name)));
    frmSetup setup;
    setup.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&setup));
    auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");
    auto* menu = Find<QMenu>(&setup, "cmsMenu");
    ASSERT_TRUE(menu);

    // Right button on the second item: it becomes the selection and the menu opens there.
    const QPoint onTwo = list->visualItemRect(list->topLevelItem(1)).center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, onTwo);
    ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); }));
    ASSERT_EQ(list->selectedItems().first()->text(0), QStringLiteral("two"));
    ASSERT_EQ(menu->pos(), list->viewport()->mapToGlobal(onTwo));
    Find<QAction>(&setup, "cmsMenuDelete")->trigger();
    menu->hide();
    ASSERT_EQ(g_intLastConnectionIndex, qint16(1));
    ASSERT_EQ(g_udtConnections[1].ConnectName, QStringLiteral("three"));
    ASSERT_EQ(list->topLevelItemCount(), 2);

    // Keyboard: Shift+F10 and the menu key open it in the middle of the list.
    const QPoint middle = list->mapToGlobal(QPoint(list->width() / 2, list->height() / 2));
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)},
          std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()}}) {
        menu->hide();
        QTest::keyClick(list, key, modifiers);
        ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); }));
        ASSERT_EQ(menu->pos(), middle);
    }
    menu->hide();
    // F10 alone is not the menu.
    QTest::keyClick(list, Qt::Key_F10);
    ASSERT_FALSE(menu->isVisible());

    // Edit from the menu opens the selected record in edit mode.
    list->setCurrentItem(list->topLevelItem(1));
    QString editedName;
    DetailedSetupWatcher watcher(
        [&editedName](frmDetailedSetup* d) { editedName = Box(d, "txtConnectionName")->text(); });
    Find<QAction>(&setup, "cmsMenuEdit")->trigger();
    ASSERT_EQ(watcher.opened, 1);
    ASSERT_EQ(g_intEditMode, EDIT_MODE_EDIT);
    ASSERT_EQ(editedName, QStringLiteral("three"));
}

TEST(RemoteDialogs, CaptionsInBothLanguages) {
    struct Row {
        const char* tag;
        QString language;
        QStringList setupTexts;
        QStringList detailTexts;
    };
    const Row rows[] = {
        // Setup: title, frame, list tip, columns, menu items, buttons with tips.
        {"English", QStringLiteral("English"),
         QStringList{"Setup", "&Setting List", "Setting List", "Connection Name", "Description",
                     "&Edit...", "&Delete", "&Add...", "Add", "&Delete", "Delete", "&Edit...",
                     "Edit", "&Close", "Close"},
         QStringList{"Detailed Setup", "Connection &Name", "Connection Name", "&Description",
                     "Description", "IP &Address", "IP Address", "&Port Number", "Port Number",
                     "&User Name", "User Name", "Pa&ssword", "Password", "&Retype Password",
                     "Retype Password", "&OK", "OK", "&Cancel", "Cancel"}},
        {"Japanese", QStringLiteral("Japanese"),
         QStringList{"設定", "設定リスト(&S)", "設定リスト", "接続名", "説明", "編集(&E)...",
                     "削除(&D)", "追加(&A)...", "追加", "削除(&D)", "削除", "編集(&E)...", "編集",
                     "閉じる(&C)", "閉じる"},
         QStringList{"詳細設定", "接続名(&N)", "接続名", "説明(&D)", "説明", "IPアドレス(&A)",
                     "IPアドレス", "ポート番号(&P)", "ポート番号", "ユーザー名(&U)", "ユーザー名",
                     "パスワード(&S)", "パスワード", "パスワード再入力(&R)", "パスワード再入力",
                     "OK(&O)", "OK", "キャンセル(&C)", "キャンセル"}},
    };
    for (const auto& [tag, language, setupTexts, detailTexts] : rows) {
        SCOPED_TRACE(tag);

        RemoteSandbox sandbox(language);
        frmSetup setup;
        auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");
        auto button = [&setup](const char* name) { return Find<QPushButton>(&setup, name); };
        const QStringList actualSetup{setup.windowTitle(),
                                      Find<QGroupBox>(&setup, "fraSettingList")->title(),
                                      list->toolTip(),
                                      list->headerItem()->text(0),
                                      list->headerItem()->text(1),
                                      Find<QAction>(&setup, "cmsMenuEdit")->text(),
                                      Find<QAction>(&setup, "cmsMenuDelete")->text(),
                                      button("btnAdd")->text(),
                                      button("btnAdd")->toolTip(),
                                      button("btnDelete")->text(),
                                      button("btnDelete")->toolTip(),
                                      button("btnEdit")->text(),
                                      button("btnEdit")->toolTip(),
                                      button("btnClose")->text(),
                                      button("btnClose")->toolTip()};
        ASSERT_EQ(actualSetup, setupTexts);
        ASSERT_TRUE(button("btnClose")->isDefault());

        g_intEditMode = EDIT_MODE_ADD;
        frmDetailedSetup detail(-1);
        QStringList actualDetail{detail.windowTitle()};
        for (const char* field : {"ConnectionName", "Description", "IpAddress", "PortNumber",
                                  "UserName", "Password", "RetypePassword"}) {
            const QByteArray label = QByteArray("lbl") + field;
            const QByteArray box = QByteArray("txt") + field;
            actualDetail << Find<QLabel>(&detail, label.constData())->text()
                         << Box(&detail, box.constData())->toolTip();
            ASSERT_EQ(Find<QLabel>(&detail, label.constData())->buddy(),
                      Box(&detail, box.constData()));
        }
        for (const char* name : {"btnOk", "btnCancel"})
            actualDetail << Find<QPushButton>(&detail, name)->text()
                         << Find<QPushButton>(&detail, name)->toolTip();
        ASSERT_EQ(actualDetail, detailTexts);
        ASSERT_EQ(setup.property("tessoraHelpContext").toInt(), 2012);
        ASSERT_EQ(detail.property("tessoraHelpContext").toInt(), 2013);
        for (const QWidget* window :
             {static_cast<QWidget*>(&setup), static_cast<QWidget*>(&detail)})
            ASSERT_TRUE(window->property("tessoraHelpFile")
                            .toString()
                            .endsWith(QStringLiteral("/TESSORAR(%1).qhc").arg(language)));
        ASSERT_TRUE(Find<QPushButton>(&detail, "btnOk")->isDefault());
    }
}
