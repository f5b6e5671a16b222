// The connection setup dialogs: the OK rule, what the fields accept, add and edit, the list,
// its limit and its context menu, in both languages.
#include "RemoteTestSupport.h"
#include "frmDetailedSetup.h"
#include "modConnectionSecurity.h"
#include "frmSetup.h"
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

class SetupDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void okFollowsTheRule_data();
    void okFollowsTheRule();
    void fieldsRefuseWhatTheFileCannotHold();
    void fieldLimitsAndPasswordEcho();
    void addressIsAnAddressOrAName();
    void addModeAppendsTheRecord();
    void editModeLocksTheNameAndWritesTheRest();
    void listShowsEveryRecordInOrder();
    void addStopsAt257Connections();
    void editAndDeleteDoNothingWithoutItems();
    void contextMenuFromMouseAndKeyboard();
    void captionsInBothLanguages_data();
    void captionsInBothLanguages();
};

void SetupDialogsTest::okFollowsTheRule_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("enabled");
    auto row = [](const char* tag, QStringList f, bool enabled) {
        QTest::newRow(tag) << f << enabled;
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
}

void SetupDialogsTest::okFollowsTheRule() {
    QFETCH(QStringList, fields);
    QFETCH(bool, enabled);
    RemoteSandbox sandbox;
    g_intEditMode = EDIT_MODE_ADD;
    frmDetailedSetup dialog(-1);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* ok = Find<QPushButton>(&dialog, "btnOk");
    QVERIFY(ok);
    QVERIFY(!ok->isEnabled()); // a new record starts incomplete
    Fill(&dialog, fields);
    QCOMPARE(ok->isEnabled(), enabled);
    // A disabled OK adds nothing, even when Enter reaches it.
    QTest::keyClick(Box(&dialog, "txtUserName"), Qt::Key_Return);
    QCOMPARE(g_intLastConnectionIndex, qint16(enabled ? 0 : -1));
}

void SetupDialogsTest::fieldsRefuseWhatTheFileCannotHold() {
    RemoteSandbox sandbox;
    g_intEditMode = EDIT_MODE_ADD;
    frmDetailedSetup dialog(-1);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const char* name :
         {"txtConnectionName", "txtDescription", "txtIpAddress", "txtUserName"}) {
        QLineEdit* box = Box(&dialog, name);
        box->clear();
        QTest::keyClicks(box, QStringLiteral("a&b=c"));
        QCOMPARE(box->text(), QStringLiteral("ab=c"));
        // A paste holding the separator is refused whole.
        QApplication::clipboard()->setText(QStringLiteral("x&y"));
        box->selectAll();
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("ab=c"));
    }
    for (const char* name : {"txtPassword", "txtRetypePassword"}) {
        QLineEdit* box = Box(&dialog, name);
        QTest::keyClicks(box, QStringLiteral("a&b=c"));
        QCOMPARE(box->text(), QStringLiteral("a&b=c"));
        QApplication::clipboard()->setText(QStringLiteral("line\r\nbreak"));
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("a&b=c"));
    }
    QLineEdit* port = Box(&dialog, "txtPortNumber");
    port->clear();
    QTest::keyClicks(port, QStringLiteral("1a2-3 .4"));
    QCOMPARE(port->text(), QStringLiteral("1234"));
    QTest::keyClick(port, Qt::Key_Backspace);
    QCOMPARE(port->text(), QStringLiteral("123"));
    QApplication::clipboard()->setText(QStringLiteral("40x00"));
    port->selectAll();
    port->paste();
    QCOMPARE(port->text(), QStringLiteral("123"));
}

void SetupDialogsTest::fieldLimitsAndPasswordEcho() {
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
        QCOMPARE(box->text().size(), limit);
    }
    QCOMPARE(Box(&dialog, "txtPortNumber")->maxLength(), 5);
    for (const char* name : {"txtPassword", "txtRetypePassword"}) {
        QLineEdit* box = Box(&dialog, name);
        box->setText(QStringLiteral("abc"));
        QCOMPARE(box->displayText(), QStringLiteral("***"));
    }
    frmDetailedSetup fresh(-1);
    QCOMPARE(Box(&fresh, "txtPortNumber")->text(), QStringLiteral("33550"));
}

void SetupDialogsTest::addressIsAnAddressOrAName() {
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
        QCOMPARE(g_intLastConnectionIndex, qint16(taken ? 0 : -1));
        QCOMPARE(recorder.boxes.size(), taken ? 0 : 1);
        QVERIFY(!taken || g_udtConnections[0].IpAddress == address); // as typed, brackets and all
    }
}

void SetupDialogsTest::addModeAppendsTheRecord() {
    RemoteSandbox sandbox;
    AddConnection(MakeRecord(QStringLiteral("Existing")));
    g_intEditMode = EDIT_MODE_ADD;
    {
        frmDetailedSetup dialog(0);
        Fill(&dialog, {"Existing", "", "h", "2000", "u", "p&w=1", "p&w=1"});
        Find<QPushButton>(&dialog, "btnCancel")->click();
        QCOMPARE(g_intLastConnectionIndex, qint16(0));
    }
    frmDetailedSetup dialog(0);
    // Same name as an existing record: names need not be unique.
    QVERIFY(Box(&dialog, "txtConnectionName")->text().isEmpty());
    Fill(&dialog, {"Existing", "", "h", "2000", "u", "p&w=1", "p&w=1"});
    Find<QPushButton>(&dialog, "btnOk")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(g_intLastConnectionIndex, qint16(1));
    const ConnectionRecord& added = g_udtConnections[1];
    QCOMPARE(added.ConnectName, QStringLiteral("Existing"));
    QCOMPARE(added.Description, QString());
    QCOMPARE(added.IpAddress, QStringLiteral("h"));
    QCOMPARE(added.PortNo, QStringLiteral("2000"));
    QCOMPARE(added.UserName, QStringLiteral("u"));
    QCOMPARE(added.Password, QStringLiteral("p&w=1"));
    QCOMPARE(g_udtConnections[0].ConnectName, QStringLiteral("Existing"));
    QCOMPARE(g_udtConnections[0].Password, QStringLiteral("pw"));
}

void SetupDialogsTest::editModeLocksTheNameAndWritesTheRest() {
    RemoteSandbox sandbox;
    AddConnection(MakeRecord(QStringLiteral("A")));
    AddConnection({QStringLiteral("B"), QString(130, u'd'), QStringLiteral("10.1.1.1"),
                   QStringLiteral("4000"), QStringLiteral("bob"), QStringLiteral("x&y")});
    SetPinned(QStringLiteral("B"), true); // its host answered encrypted once
    g_intEditMode = EDIT_MODE_EDIT;
    frmDetailedSetup dialog(1);
    QCOMPARE(Box(&dialog, "txtConnectionName")->text(), QStringLiteral("B"));
    auto* allow = Find<QCheckBox>(&dialog, "chkAllowUnencrypted");
    QVERIFY(!allow->isChecked());
    QVERIFY(Find<QLabel>(&dialog, "lblPin")->text().startsWith(QStringLiteral("Pinned")));
    allow->setChecked(true);
    Find<QPushButton>(&dialog, "btnClearPin")->click();
    QCOMPARE(Box(&dialog, "txtDescription")->text(), QString(130, u'd')); // over its limit, whole
    QCOMPARE(Box(&dialog, "txtIpAddress")->text(), QStringLiteral("10.1.1.1"));
    QCOMPARE(Box(&dialog, "txtPortNumber")->text(), QStringLiteral("4000"));
    QCOMPARE(Box(&dialog, "txtUserName")->text(), QStringLiteral("bob"));
    QCOMPARE(Box(&dialog, "txtPassword")->text(), QStringLiteral("x&y"));
    QCOMPARE(Box(&dialog, "txtRetypePassword")->text(), QStringLiteral("x&y"));
    auto* ok = Find<QPushButton>(&dialog, "btnOk");
    QVERIFY(ok->isEnabled()); // a complete record can be confirmed at once

    QLineEdit* name = Box(&dialog, "txtConnectionName");
    QVERIFY(name->isReadOnly());
    QVERIFY(!(name->focusPolicy() & Qt::TabFocus));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_COMPARE(dialog.focusWidget(), Box(&dialog, "txtDescription"));
    QTest::keyClicks(name, QStringLiteral("renamed"));
    QCOMPARE(name->text(), QStringLiteral("B"));

    Box(&dialog, "txtDescription")->setText(QString());
    Box(&dialog, "txtIpAddress")->setText(QStringLiteral("host.example"));
    Box(&dialog, "txtPortNumber")->setText(QStringLiteral("5000"));
    Box(&dialog, "txtUserName")->setText(QStringLiteral("robert"));
    Box(&dialog, "txtPassword")->setText(QStringLiteral("new=pw"));
    QVERIFY(!ok->isEnabled());
    Box(&dialog, "txtRetypePassword")->setText(QStringLiteral("new=pw"));
    QVERIFY(ok->isEnabled());
    ok->click();
    QCOMPARE(g_intLastConnectionIndex, qint16(1));
    const ConnectionRecord& r = g_udtConnections[1];
    QCOMPARE(r.ConnectName, QStringLiteral("B"));
    QCOMPARE(r.Description, QString());
    QCOMPARE(r.IpAddress, QStringLiteral("host.example"));
    QCOMPARE(r.PortNo, QStringLiteral("5000"));
    QCOMPARE(r.UserName, QStringLiteral("robert"));
    QCOMPARE(r.Password, QStringLiteral("new=pw"));
    QCOMPARE(g_udtConnections[0].UserName, QStringLiteral("user"));
    const ConnectionSecurity security = LoadConnectionSecurity(QStringLiteral("B"));
    QVERIFY(security.allowUnencrypted && !security.pinned); // beside the record, not in it
}

void SetupDialogsTest::listShowsEveryRecordInOrder() {
    RemoteSandbox sandbox;
    AddConnection({QStringLiteral("Zulu"), QStringLiteral("last letter"), QStringLiteral("h"),
                   QStringLiteral("2000"), QStringLiteral("u"), QStringLiteral("p")});
    AddConnection(MakeRecord(QStringLiteral("Alpha")));
    AddConnection(MakeRecord(QStringLiteral("Zulu")));
    frmSetup setup;
    auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");
    QVERIFY(list);
    QCOMPARE(list->columnCount(), 2);
    QCOMPARE(list->topLevelItemCount(), 3);
    const QStringList names{"Zulu", "Alpha", "Zulu"};
    const QStringList descriptions{"last letter", "Alpha host", "Zulu host"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(list->topLevelItem(i)->text(0), names[i]);
        QCOMPARE(list->topLevelItem(i)->text(1), descriptions[i]);
    }
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->selectedItems().first(), list->topLevelItem(0));
}

void SetupDialogsTest::addStopsAt257Connections() {
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
        QCOMPARE(adder.opened, 1);
        QCOMPARE(g_intLastConnectionIndex, qint16(256));
        QCOMPARE(list->topLevelItemCount(), 257);
        QCOMPARE(list->topLevelItem(256)->text(0), QStringLiteral("c256"));
        QVERIFY(recorder.boxes.isEmpty());

        add->click();
        QCOMPARE(adder.opened, 1);
        QCOMPARE(g_intLastConnectionIndex, qint16(256));
        QCOMPARE(recorder.boxes.size(), 1);
        QCOMPARE(recorder.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(recorder.boxes[0].title, QStringLiteral("TESSORA-R"));
        QCOMPARE(recorder.boxes[0].text, QStringLiteral("接続をこれ以上追加できません。"));
    }

    // One delete makes room again.
    list->setCurrentItem(list->topLevelItem(10));
    Find<QPushButton>(&setup, "btnDelete")->click();
    QCOMPARE(g_intLastConnectionIndex, qint16(255));
    QCOMPARE(list->topLevelItemCount(), 256);
    QCOMPARE(list->topLevelItem(10)->text(0), QStringLiteral("c11"));
    DetailedSetupWatcher canceller(nullptr);
    add->click();
    QCOMPARE(canceller.opened, 1);
    QCOMPARE(recorder.boxes.size(), 1);
}

void SetupDialogsTest::editAndDeleteDoNothingWithoutItems() {
    RemoteSandbox sandbox;
    MessageBoxRecorder recorder;
    frmSetup setup;
    DetailedSetupWatcher watcher(nullptr);
    Find<QPushButton>(&setup, "btnEdit")->click();
    Find<QPushButton>(&setup, "btnDelete")->click();
    setup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&setup));
    auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QTest::qWait(50);
    QCOMPARE(watcher.opened, 0);
    QVERIFY(recorder.boxes.isEmpty());
    QVERIFY(!Find<QMenu>(&setup, "cmsMenu")->isVisible());

    // With items but none selected (Ctrl+click clears it), edit and delete still do nothing.
    AddConnection(MakeRecord(QStringLiteral("A")));
    frmSetup withItem;
    auto* itemList = Find<QTreeWidget>(&withItem, "lvwSettingList");
    itemList->clearSelection();
    Find<QPushButton>(&withItem, "btnEdit")->click();
    Find<QPushButton>(&withItem, "btnDelete")->click();
    QCOMPARE(watcher.opened, 0);
    QCOMPARE(g_intLastConnectionIndex, qint16(0));
    QVERIFY(recorder.boxes.isEmpty());
}

void SetupDialogsTest::contextMenuFromMouseAndKeyboard() {
    RemoteSandbox sandbox;
    for (const char* name : {"one", "two", "three"})
        AddConnection(MakeRecord(QString::fromLatin1(name)));
    frmSetup setup;
    setup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&setup));
    auto* list = Find<QTreeWidget>(&setup, "lvwSettingList");
    auto* menu = Find<QMenu>(&setup, "cmsMenu");
    QVERIFY(menu);

    // Right button on the second item: it becomes the selection and the menu opens there.
    const QPoint onTwo = list->visualItemRect(list->topLevelItem(1)).center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, onTwo);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(list->selectedItems().first()->text(0), QStringLiteral("two"));
    QCOMPARE(menu->pos(), list->viewport()->mapToGlobal(onTwo));
    Find<QAction>(&setup, "cmsMenuDelete")->trigger();
    menu->hide();
    QCOMPARE(g_intLastConnectionIndex, qint16(1));
    QCOMPARE(g_udtConnections[1].ConnectName, QStringLiteral("three"));
    QCOMPARE(list->topLevelItemCount(), 2);

    // Keyboard: Shift+F10 and the menu key open it in the middle of the list.
    const QPoint middle = list->mapToGlobal(QPoint(list->width() / 2, list->height() / 2));
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)},
          std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()}}) {
        menu->hide();
        QTest::keyClick(list, key, modifiers);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), middle);
    }
    menu->hide();
    // F10 alone is not the menu.
    QTest::keyClick(list, Qt::Key_F10);
    QVERIFY(!menu->isVisible());

    // Edit from the menu opens the selected record in edit mode.
    list->setCurrentItem(list->topLevelItem(1));
    QString editedName;
    DetailedSetupWatcher watcher(
        [&editedName](frmDetailedSetup* d) { editedName = Box(d, "txtConnectionName")->text(); });
    Find<QAction>(&setup, "cmsMenuEdit")->trigger();
    QCOMPARE(watcher.opened, 1);
    QCOMPARE(g_intEditMode, EDIT_MODE_EDIT);
    QCOMPARE(editedName, QStringLiteral("three"));
}

void SetupDialogsTest::captionsInBothLanguages_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("setupTexts");
    QTest::addColumn<QStringList>("detailTexts");
    // Setup: title, frame, list tip, columns, menu items, buttons with tips.
    QTest::newRow("English")
        << QStringLiteral("English")
        << QStringList{"Setup",       "&Setting List", "Setting List", "Connection Name",
                       "Description", "&Edit...",      "&Delete",      "&Add...",
                       "Add",         "&Delete",       "Delete",       "&Edit...",
                       "Edit",        "&Close",        "Close"}
        << QStringList{"Detailed Setup",
                       "Connection &Name",
                       "Connection Name",
                       "&Description",
                       "Description",
                       "IP &Address",
                       "IP Address",
                       "&Port Number",
                       "Port Number",
                       "&User Name",
                       "User Name",
                       "Pa&ssword",
                       "Password",
                       "&Retype Password",
                       "Retype Password",
                       "&OK",
                       "OK",
                       "&Cancel",
                       "Cancel"};
    QTest::newRow("Japanese")
        << QStringLiteral("Japanese")
        << QStringList{"設定",        "設定リスト(&S)", "設定リスト",  "接続名",     "説明",
                       "編集(&E)...", "削除(&D)",       "追加(&A)...", "追加",       "削除(&D)",
                       "削除",        "編集(&E)...",    "編集",        "閉じる(&C)", "閉じる"}
        << QStringList{"詳細設定",   "接続名(&N)",           "接続名",           "説明(&D)",
                       "説明",       "IPアドレス(&A)",       "IPアドレス",       "ポート番号(&P)",
                       "ポート番号", "ユーザー名(&U)",       "ユーザー名",       "パスワード(&S)",
                       "パスワード", "パスワード再入力(&R)", "パスワード再入力", "OK(&O)",
                       "OK",         "キャンセル(&C)",       "キャンセル"};
}

void SetupDialogsTest::captionsInBothLanguages() {
    QFETCH(QString, language);
    QFETCH(QStringList, setupTexts);
    QFETCH(QStringList, detailTexts);
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
    QCOMPARE(actualSetup, setupTexts);
    QVERIFY(button("btnClose")->isDefault());

    g_intEditMode = EDIT_MODE_ADD;
    frmDetailedSetup detail(-1);
    QStringList actualDetail{detail.windowTitle()};
    for (const char* field : {"ConnectionName", "Description", "IpAddress", "PortNumber",
                              "UserName", "Password", "RetypePassword"}) {
        const QByteArray label = QByteArray("lbl") + field;
        const QByteArray box = QByteArray("txt") + field;
        actualDetail << Find<QLabel>(&detail, label.constData())->text()
                     << Box(&detail, box.constData())->toolTip();
        QCOMPARE(Find<QLabel>(&detail, label.constData())->buddy(), Box(&detail, box.constData()));
    }
    for (const char* name : {"btnOk", "btnCancel"})
        actualDetail << Find<QPushButton>(&detail, name)->text()
                     << Find<QPushButton>(&detail, name)->toolTip();
    QCOMPARE(actualDetail, detailTexts);
    QCOMPARE(setup.property("tessoraHelpContext").toInt(), 2012);
    QCOMPARE(detail.property("tessoraHelpContext").toInt(), 2013);
    for (const QWidget* window : {static_cast<QWidget*>(&setup), static_cast<QWidget*>(&detail)})
        QVERIFY(window->property("tessoraHelpFile")
                    .toString()
                    .endsWith(QStringLiteral("/TESSORAR(%1).qhc").arg(language)));
    QVERIFY(Find<QPushButton>(&detail, "btnOk")->isDefault());
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TESSORA-R"));
    SetupDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SetupDialogsTest.moc"
