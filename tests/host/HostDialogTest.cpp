// SPDX-License-Identifier: GPL-3.0-or-later
// The user list dialogs: list contents, add and edit with the OK rule and the
// "&" refusal, delete, enable/disable, the context menu and the user limit.
#include "HostUsers.h"

#include "frmDetailedSetup.h"
#include "frmSetup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

using DetailedSetupDriver = ModalDriver<frmDetailedSetup>;

class HostDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ClearUsers();
        g_intEditMode = EditMode{};
    }
    void TearDown() override { ClearUsers(); }

    // A setup window on screen with the current table.
    std::unique_ptr<frmSetup> OpenSetup() {
        auto setup = std::make_unique<frmSetup>();
        setup->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(setup.get()));
        return setup;
    }

    static QTreeWidget* List(frmSetup* setup) { return Find<QTreeWidget>(setup, "lvwUserList"); }

    static void Select(frmSetup* setup, int index) {
        QTreeWidget* list = List(setup);
        list->setCurrentItem(list->topLevelItem(index - 1));
    }

    static void Type(frmDetailedSetup* dialog, const char* box, const QString& text) {
        QLineEdit* edit = Find<QLineEdit>(dialog, box);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    static bool OkEnabled(frmDetailedSetup* dialog) {
        return Find<QPushButton>(dialog, "btnOk")->isEnabled();
    }

    MessageBoxRecorder boxes;
};

} // namespace

TEST_F(HostDialogs, ListShowsEveryUserWithMaskedPasswordDescriptionAndDisabledIcon) {
    AddUser(User("alice", "pw", 0, "Front desk"));
    AddUser(User("bob", "pw", 1, ""));
    auto setup = OpenSetup();
    QTreeWidget* list = List(setup.get());
    ASSERT_EQ(list->topLevelItemCount(), 2);
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "alice");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "**********");
    EXPECT_EQ(list->topLevelItem(0)->text(2), "Front desk");
    EXPECT_TRUE(list->topLevelItem(0)->icon(0).isNull());
    EXPECT_EQ(list->topLevelItem(1)->text(1), "**********");
    EXPECT_FALSE(list->topLevelItem(1)->icon(0).isNull());
    auto* close = Find<QPushButton>(setup.get(), "btnClose");
    EXPECT_TRUE(close->isDefault());
}

TEST_F(HostDialogs, AddOpensTheDialogUpTo255UsersAndWarnsAt256) {
    for (int i = 0; i < 255; ++i)
        AddUser(User(QStringLiteral("u%1").arg(i), "pw"));
    auto setup = OpenSetup();
    auto* add = Find<QPushButton>(setup.get(), "btnAdd");
    {
        DetailedSetupDriver driver([](frmDetailedSetup* d) {
            Type(d, "txtUserName", "last");
            Type(d, "txtPassword", "pw");
            Type(d, "txtRetypePassword", "pw");
            QTest::mouseClick(Find<QPushButton>(d, "btnOk"), Qt::LeftButton);
        });
        add->click();
        EXPECT_TRUE(driver.opened);
    }
    EXPECT_EQ(g_intUserCount, 256);
    EXPECT_EQ(List(setup.get())->topLevelItemCount(), 256);
    EXPECT_TRUE(boxes.boxes.isEmpty());

    DetailedSetupDriver driver([](frmDetailedSetup*) {});
    add->click();
    QTest::qWait(50);
    EXPECT_FALSE(driver.opened);
    EXPECT_EQ(g_intUserCount, 256);
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.boxes[0].title, "TESSORA-H");
    EXPECT_EQ(boxes.boxes[0].text, "Cannot add any more user.");
}

TEST_F(HostDialogs, OkRuleNeedsAllThreeFieldsAndAnExactRetype) {
    g_intEditMode = EDIT_MODE_ADD;
    frmDetailedSetup dialog(0);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_FALSE(OkEnabled(&dialog));
    Type(&dialog, "txtUserName", "alice");
    EXPECT_FALSE(OkEnabled(&dialog));
    Type(&dialog, "txtPassword", "Secret");
    EXPECT_FALSE(OkEnabled(&dialog));
    Type(&dialog, "txtRetypePassword", "secret");
    EXPECT_FALSE(OkEnabled(&dialog)); // differs in letter case only
    Type(&dialog, "txtRetypePassword", "Secret");
    EXPECT_TRUE(OkEnabled(&dialog));
    Type(&dialog, "txtDescription", "");
    EXPECT_TRUE(OkEnabled(&dialog)); // the description plays no part
    Type(&dialog, "txtUserName", "");
    EXPECT_FALSE(OkEnabled(&dialog));

    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtUserName")->maxLength(), 32);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtPassword")->maxLength(), 32);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtRetypePassword")->maxLength(), 32);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtDescription")->maxLength(), 128);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtRetypePassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtPassword")->displayText(), "******");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtRetypePassword")->displayText(), "******");
    EXPECT_TRUE(Find<QPushButton>(&dialog, "btnOk")->isDefault());
}

TEST_F(HostDialogs, AmpersandCannotEnterNameOrPasswordButMayEnterTheDescription) {
    g_intEditMode = EDIT_MODE_ADD;
    frmDetailedSetup dialog(0);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    Type(&dialog, "txtUserName", "tom&jerry");
    Type(&dialog, "txtPassword", "a&b=c");
    Type(&dialog, "txtRetypePassword", "a&b=c");
    Type(&dialog, "txtDescription", "x&y=z");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtUserName")->text(), "tomjerry");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtPassword")->text(), "ab=c");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtDescription")->text(), "x&y=z");
    // Nor may what the encoding cannot hold, and the operator is told why.
    Tavrino::SetLocalTextEncodingForTesting("ISO-8859-1");
    for (const QString& typed : {QStringLiteral("日本日"), QStringLiteral(" ü")})
        Find<QLineEdit>(&dialog, "txtDescription")->insert(typed); // as typing or pasting does
    EXPECT_EQ(Find<QLineEdit>(&dialog, "txtDescription")->text(), QStringLiteral("x&y=z ü"));
    ASSERT_TRUE(WaitFor([this] { return !boxes.boxes.isEmpty(); }, 2000));
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("\"日本\" cannot be entered: the system's "
                                                  "character encoding (ISO-8859-1) has no place "
                                                  "for it."));
    Tavrino::SetLocalTextEncodingForTesting({});
    // Text put in without typing (as a program would) still keeps OK off.
    Find<QLineEdit>(&dialog, "txtPassword")->setText("a&b");
    Find<QLineEdit>(&dialog, "txtRetypePassword")->setText("a&b");
    EXPECT_FALSE(OkEnabled(&dialog));
    QTest::mouseClick(Find<QPushButton>(&dialog, "btnOk"), Qt::LeftButton);
    EXPECT_EQ(g_intUserCount, 0);
}

TEST_F(HostDialogs, AddAppendsARecordAndAllowsADuplicateName) {
    AddUser(User("alice", "old"));
    auto setup = OpenSetup();
    DetailedSetupDriver driver([](frmDetailedSetup* d) {
        Type(d, "txtUserName", "alice");
        Type(d, "txtPassword", "new=pw");
        Type(d, "txtRetypePassword", "new=pw");
        Type(d, "txtDescription", "second & last");
        QTest::mouseClick(Find<QCheckBox>(d, "chkDisableThisUser"), Qt::LeftButton);
        QTest::keyClick(d, Qt::Key_Return); // OK is the default button
    });
    Find<QPushButton>(setup.get(), "btnAdd")->click();
    ASSERT_TRUE(driver.opened);
    ASSERT_EQ(g_intUserCount, 2);
    EXPECT_EQ(g_udtUsers[2].UserName, "alice");
    EXPECT_EQ(g_udtUsers[2].Password, "new=pw");
    EXPECT_EQ(g_udtUsers[2].Disabled, 1);
    EXPECT_EQ(g_udtUsers[2].Description, "second & last");
    QTreeWidget* list = List(setup.get());
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "alice");
    EXPECT_FALSE(list->topLevelItem(1)->icon(0).isNull());
}

TEST_F(HostDialogs, CancelAndEscapeChangeNothing) {
    AddUser(User("alice", "pw", 0, "d"));
    auto setup = OpenSetup();
    Select(setup.get(), 1);
    DetailedSetupDriver driver([](frmDetailedSetup* d) {
        Type(d, "txtPassword", "changed");
        Type(d, "txtRetypePassword", "changed");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    Find<QPushButton>(setup.get(), "btnEdit")->click();
    ASSERT_TRUE(driver.opened);
    EXPECT_EQ(g_udtUsers[1].Password, "pw");
    EXPECT_EQ(g_intUserCount, 1);
}

TEST_F(HostDialogs, EditFillsTheFieldsLocksTheNameAndChangesTheRest) {
    AddUser(User("alice", "pw1", 0, "one"));
    AddUser(User("bob", "Pw2", 1, "two"));
    auto setup = OpenSetup();
    Select(setup.get(), 2);
    DetailedSetupDriver driver([](frmDetailedSetup* d) {
        auto* name = Find<QLineEdit>(d, "txtUserName");
        EXPECT_EQ(name->text(), "bob");
        EXPECT_TRUE(name->isReadOnly());
        EXPECT_EQ(name->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(Find<QLineEdit>(d, "txtPassword")->text(), "Pw2");
        EXPECT_EQ(Find<QLineEdit>(d, "txtRetypePassword")->text(), "Pw2");
        EXPECT_EQ(Find<QLineEdit>(d, "txtDescription")->text(), "two");
        EXPECT_TRUE(Find<QCheckBox>(d, "chkDisableThisUser")->isChecked());
        EXPECT_TRUE(OkEnabled(d));
        EXPECT_TRUE(WaitFor([d] { return Find<QLineEdit>(d, "txtPassword")->hasFocus(); }, 1000));
        Type(d, "txtRetypePassword", "");
        EXPECT_FALSE(OkEnabled(d));
        Type(d, "txtRetypePassword", "pw2");
        EXPECT_FALSE(OkEnabled(d));
        Type(d, "txtPassword", "new");
        Type(d, "txtRetypePassword", "new");
        Type(d, "txtDescription", "");
        QTest::mouseClick(Find<QCheckBox>(d, "chkDisableThisUser"), Qt::LeftButton);
        EXPECT_TRUE(OkEnabled(d));
        QTest::mouseClick(Find<QPushButton>(d, "btnOk"), Qt::LeftButton);
    });
    Find<QPushButton>(setup.get(), "btnEdit")->click();
    ASSERT_TRUE(driver.opened);
    EXPECT_EQ(g_udtUsers[2].UserName, "bob");
    EXPECT_EQ(g_udtUsers[2].Password, "new");
    EXPECT_EQ(g_udtUsers[2].Disabled, 0);
    EXPECT_EQ(g_udtUsers[2].Description, "");
    EXPECT_EQ(g_udtUsers[1].Password, "pw1");
    EXPECT_TRUE(List(setup.get())->topLevelItem(1)->icon(0).isNull());
}

TEST_F(HostDialogs, DeleteRemovesExactlyTheSelectedUser) {
    for (const char* name : {"one", "two", "three"})
        AddUser(User(name, "pw"));
    auto setup = OpenSetup();
    Select(setup.get(), 2);
    Find<QPushButton>(setup.get(), "btnDelete")->click();
    ASSERT_EQ(g_intUserCount, 2);
    EXPECT_EQ(g_udtUsers[1].UserName, "one");
    EXPECT_EQ(g_udtUsers[2].UserName, "three");
    QTreeWidget* list = List(setup.get());
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "three");
    EXPECT_EQ(setup->SelectedIndex(), 2); // the row that moved up is selected
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(HostDialogs, CommandsDoNothingOnAnEmptyListOrWithoutSelection) {
    auto setup = OpenSetup();
    DetailedSetupDriver driver([](frmDetailedSetup*) {});
    Find<QPushButton>(setup.get(), "btnEdit")->click();
    Find<QPushButton>(setup.get(), "btnDelete")->click();
    QTreeWidget* list = List(setup.get());
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    auto* menu = Find<QMenu>(setup.get(), "cmsMenu");
    EXPECT_FALSE(menu->isVisible());
    QTest::qWait(50);
    EXPECT_FALSE(driver.opened);
    EXPECT_TRUE(boxes.boxes.isEmpty());

    AddUser(User("one", "pw"));
    auto second = OpenSetup();
    List(second.get())->clearSelection();
    Find<QPushButton>(second.get(), "btnDelete")->click();
    Find<QPushButton>(second.get(), "btnEdit")->click();
    QTest::qWait(50);
    EXPECT_EQ(g_intUserCount, 1);
    EXPECT_FALSE(driver.opened);
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(HostDialogs, EnableDisableTwiceRestoresFlagAndIcon) {
    AddUser(User("one", "pw"));
    AddUser(User("two", "pw", 1));
    auto setup = OpenSetup();
    Select(setup.get(), 2);
    auto* toggle = setup->findChild<QAction*>("cmsMenuEnableDisable");
    ASSERT_NE(toggle, nullptr);
    toggle->trigger();
    EXPECT_EQ(g_udtUsers[2].Disabled, 0);
    EXPECT_TRUE(List(setup.get())->topLevelItem(1)->icon(0).isNull());
    EXPECT_EQ(setup->SelectedIndex(), 2);
    toggle->trigger();
    EXPECT_EQ(g_udtUsers[2].Disabled, 1);
    EXPECT_FALSE(List(setup.get())->topLevelItem(1)->icon(0).isNull());
    EXPECT_EQ(g_udtUsers[1].Disabled, 0);
}

TEST_F(HostDialogs, ContextMenuOpensByRightButtonShiftF10AndTheMenuKey) {
    AddUser(User("one", "pw"));
    AddUser(User("two", "pw"));
    auto setup = OpenSetup();
    QTreeWidget* list = List(setup.get());
    auto* menu = Find<QMenu>(setup.get(), "cmsMenu");

    // Right button on the second row selects it and opens the menu there.
    const QRect row = list->visualItemRect(list->topLevelItem(1));
    const QPoint click = row.center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, click);
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }, 1000));
    EXPECT_EQ(setup->SelectedIndex(), 2);
    EXPECT_EQ(menu->pos(), list->viewport()->mapToGlobal(click));
    // The menu's delete acts on that row.
    setup->findChild<QAction*>("cmsMenuDelete")->trigger();
    menu->hide();
    ASSERT_EQ(g_intUserCount, 1);
    EXPECT_EQ(g_udtUsers[1].UserName, "one");

    const QPoint centre = list->mapToGlobal(QPoint(list->width() / 2, list->height() / 2));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }, 1000));
    EXPECT_EQ(menu->pos(), centre);
    menu->hide();

    QTest::keyClick(list, Qt::Key_Menu);
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }, 1000));
    EXPECT_EQ(menu->pos(), centre);
    menu->hide();

    // F10 alone is not the menu's key.
    QTest::keyClick(list, Qt::Key_F10);
    QTest::qWait(20);
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(HostDialogs, CaptionsFollowTheLanguage) {
    struct Expect {
        const char* name;
        QString english;
        QString japanese;
    };
    AddUser(User("one", "pw"));
    for (const bool japanese : {false, true}) {
        LanguageSetting language(japanese ? "Japanese" : "English");
        auto setup = OpenSetup();
        EXPECT_EQ(setup->windowTitle(), japanese ? QStringLiteral("設定") : "Setup");
        const QVector<Expect> buttons = {
            {"btnAdd", "&Add...", QStringLiteral("追加(&A)...")},
            {"btnDelete", "&Delete", QStringLiteral("削除(&D)")},
            {"btnEdit", "&Edit...", QStringLiteral("編集(&E)...")},
            {"btnClose", "&Close", QStringLiteral("閉じる(&C)")},
        };
        const QVector<Expect> tips = {
            {"btnAdd", "Add", QStringLiteral("追加")},
            {"btnDelete", "Delete", QStringLiteral("削除")},
            {"btnEdit", "Edit", QStringLiteral("編集")},
            {"btnClose", "Close", QStringLiteral("閉じる")},
            {"lvwUserList", "User List", QStringLiteral("ユーザー・リスト")},
        };
        for (const Expect& e : buttons)
            EXPECT_EQ(Find<QPushButton>(setup.get(), e.name)->text(),
                      japanese ? e.japanese : e.english);
        for (const Expect& e : tips)
            EXPECT_EQ(Find<QWidget>(setup.get(), e.name)->toolTip(),
                      japanese ? e.japanese : e.english);
        EXPECT_EQ(Find<QGroupBox>(setup.get(), "fraUserList")->title(),
                  japanese ? QStringLiteral("ユーザー・リスト(&U)") : "&User List");
        QTreeWidgetItem* header = List(setup.get())->headerItem();
        EXPECT_EQ(header->text(0), japanese ? QStringLiteral("ユーザー名") : "User Name");
        EXPECT_EQ(header->text(1), japanese ? QStringLiteral("パスワード") : "Password");
        EXPECT_EQ(header->text(2), japanese ? QStringLiteral("説明") : "Description");
        const QVector<Expect> actions = {
            {"cmsMenuDelete", "&Delete", QStringLiteral("削除(&D)")},
            {"cmsMenuEdit", "&Edit...", QStringLiteral("編集(&E)...")},
            {"cmsMenuEnableDisable", "E&nable/Disable", QStringLiteral("有効/無効(&N)")},
        };
        for (const Expect& e : actions)
            EXPECT_EQ(setup->findChild<QAction*>(e.name)->text(),
                      japanese ? e.japanese : e.english);

        g_intEditMode = EDIT_MODE_ADD;
        frmDetailedSetup dialog(0);
        EXPECT_EQ(dialog.windowTitle(), japanese ? QStringLiteral("詳細設定") : "Detailed Setup");
        const QVector<Expect> labels = {
            {"lblUserName", "User &Name", QStringLiteral("ユーザー名(&N)")},
            {"lblPassword", "&Password", QStringLiteral("パスワード(&P)")},
            {"lblRetypePassword", "&Retype Password", QStringLiteral("パスワード再入力(&R)")},
            {"lblDescription", "&Description", QStringLiteral("説明(&D)")},
        };
        for (const Expect& e : labels)
            EXPECT_EQ(Find<QLabel>(&dialog, e.name)->text(), japanese ? e.japanese : e.english);
        const QVector<Expect> dialogTips = {
            {"txtUserName", "User Name", QStringLiteral("ユーザー名")},
            {"txtPassword", "Password", QStringLiteral("パスワード")},
            {"txtRetypePassword", "Retype Password", QStringLiteral("パスワード再入力")},
            {"txtDescription", "Description", QStringLiteral("説明")},
            {"chkDisableThisUser", "Disable this user", QStringLiteral("このユーザーを無効にする")},
            {"btnOk", "OK", "OK"},
            {"btnCancel", "Cancel", QStringLiteral("キャンセル")},
        };
        for (const Expect& e : dialogTips)
            EXPECT_EQ(Find<QWidget>(&dialog, e.name)->toolTip(), japanese ? e.japanese : e.english);
        EXPECT_EQ(Find<QCheckBox>(&dialog, "chkDisableThisUser")->text(),
                  japanese ? QStringLiteral("このユーザーを無効にする(&I)") : "D&isable this user");
        EXPECT_EQ(Find<QPushButton>(&dialog, "btnOk")->text(),
                  japanese ? QStringLiteral("OK(&O)") : "&OK");
        EXPECT_EQ(Find<QPushButton>(&dialog, "btnCancel")->text(),
                  japanese ? QStringLiteral("キャンセル(&C)") : "&Cancel");
    }
    // The limit warning follows the language too.
    for (int i = g_intUserCount; i < kMaxUsers; ++i)
        AddUser(User(QStringLiteral("u%1").arg(i), "pw"));
    LanguageSetting japanese("Japanese");
    auto setup = OpenSetup();
    Find<QPushButton>(setup.get(), "btnAdd")->click();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("ユーザーをこれ以上追加できません。"));
}

TEST_F(HostDialogs, TextBoxesSelectTheirWholeTextOnFocus) {
    AddUser(User("alice", "pw", 0, "desc"));
    auto setup = OpenSetup();
    Select(setup.get(), 1);
    DetailedSetupDriver driver([](frmDetailedSetup* d) {
        auto* description = Find<QLineEdit>(d, "txtDescription");
        description->setFocus(Qt::OtherFocusReason);
        EXPECT_TRUE(WaitFor([description] { return description->selectedText() == "desc"; }, 1000));
    });
    Find<QPushButton>(setup.get(), "btnEdit")->click();
    EXPECT_TRUE(driver.opened);
}
