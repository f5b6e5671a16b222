// SPDX-License-Identifier: GPL-3.0-or-later
// The user list window: every user in a list, with add, edit, delete and
// enable/disable.
#include "frmSetup.h"

#include "frmDetailedSetup.h"
#include "modAccessibility.h"
#include "modHelpConst.h"
#include "modHost.h"
#include "modHvnRegistry.h"
#include "modMessage.h"
#include "modPictures.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTreeWidget>

namespace {

const QString kDisabledIconKey = QStringLiteral("err");
const QString kPasswordMask = QStringLiteral("**********");

} // namespace

frmSetup::frmSetup(QWidget* parent)
    : SetupListDialog("fraUserList", "lvwUserList", parent), fraUserList(m_frame),
      lvwUserList(m_list) {
    lvwUserList->setUniformRowHeights(true);
    lvwUserList->setMinimumSize(420, 220);

    picDisabled = new QLabel(this);
    picDisabled->setObjectName(QStringLiteral("picDisabled"));
    picDisabled->setPixmap(DisabledUserPixmap());
    picDisabled->hide();

    cmsMenu->setTitle(QStringLiteral("Operation"));
    cmsMenuDelete = cmsMenu->addAction(QString());
    cmsMenuDelete->setObjectName(QStringLiteral("cmsMenuDelete"));
    cmsMenuEdit = cmsMenu->addAction(QString());
    cmsMenuEdit->setObjectName(QStringLiteral("cmsMenuEdit"));
    Context_Operation_Line = cmsMenu->addSeparator();
    Context_Operation_Line->setObjectName(QStringLiteral("Context_Operation_Line"));
    cmsMenuEnableDisable = cmsMenu->addAction(QString());
    cmsMenuEnableDisable->setObjectName(QStringLiteral("cmsMenuEnableDisable"));
    connect(cmsMenuDelete, &QAction::triggered, this, &frmSetup::btnDelete_Click);
    connect(cmsMenuEdit, &QAction::triggered, this, &frmSetup::btnEdit_Click);
    connect(cmsMenuEnableDisable, &QAction::triggered, this, &frmSetup::cmsMenuEnableDisable_Click);

    Form_Load();
}

frmSetup::~frmSetup() = default;

void frmSetup::Form_Load() {
    InitUserListView();
    ApplyLanguage();
    SetHelpContext(this, HelpFilePath(QStringLiteral("TESSORAH")), HELP_CONTEXT_HOST_SETUP);
    RefreshUserList();
    SelectRow(1);
}

void frmSetup::InitUserListView() {
    SetFormFonts();
    ilsIcon.insert(kDisabledIconKey, QIcon(picDisabled->pixmap()));
    lvwUserList->setIconSize(picDisabled->pixmap().size());
    lvwUserList->setColumnCount(3);
    // Columns of 1700, 1700 and 2600 twips.
    lvwUserList->setColumnWidth(0, 113);
    lvwUserList->setColumnWidth(1, 113);
    lvwUserList->setColumnWidth(2, 173);
}

void frmSetup::ApplyLanguage() {
    SetupListDialog::ApplyLanguage();
    fraUserList->setTitle(Tr(QStringLiteral("&User List"), QStringLiteral("ユーザー・リスト(&U)")));
    lvwUserList->setToolTip(Tr(QStringLiteral("User List"), QStringLiteral("ユーザー・リスト")));
    NameForReaders(lvwUserList, lvwUserList->toolTip());
    DescribePicture(picDisabled, Tr(QStringLiteral("Disabled"), QStringLiteral("無効")),
                    Tr(QStringLiteral("Marks a disabled user"), QStringLiteral("無効にされたユーザーの印")));
    lvwUserList->setHeaderLabels({Tr(QStringLiteral("User Name"), QStringLiteral("ユーザー名")),
                                  Tr(QStringLiteral("Password"), QStringLiteral("パスワード")),
                                  Tr(QStringLiteral("Description"), QStringLiteral("説明"))});
    cmsMenuDelete->setText(Tr(QStringLiteral("&Delete"), QStringLiteral("削除(&D)")));
    cmsMenuEdit->setText(Tr(QStringLiteral("&Edit..."), QStringLiteral("編集(&E)...")));
    cmsMenuEnableDisable->setText(
        Tr(QStringLiteral("E&nable/Disable"), QStringLiteral("有効/無効(&N)")));
}

void frmSetup::RefreshUserList() {
    const int selected = SelectedIndex();
    lvwUserList->clear();
    for (int i = 1; i <= g_intUserCount; ++i) {
        const UserRecord& user = g_udtUsers[static_cast<size_t>(i)];
        auto* row = new QTreeWidgetItem(lvwUserList);
        row->setText(0, user.UserName);
        if (user.Disabled == 1)
            row->setIcon(0, ilsIcon.value(kDisabledIconKey));
        // What the mark says, for screen readers.
        row->setData(0, Qt::AccessibleDescriptionRole,
                     user.Disabled == 1 ? picDisabled->accessibleName()
                                        : Tr(QStringLiteral("Enabled"), QStringLiteral("有効")));
        row->setText(1, kPasswordMask);
        row->setText(2, user.Description);
    }
    // Rows equal users again; keep the selection on the same place.
    SelectRow(std::min(selected, static_cast<int>(g_intUserCount)));
}

void frmSetup::SelectRow(int index) {
    if (index < 1 || index > lvwUserList->topLevelItemCount())
        return;
    lvwUserList->setCurrentItem(lvwUserList->topLevelItem(index - 1));
}

void frmSetup::btnAdd_Click() {
    if (g_intUserCount >= kMaxUsers) {
        ShowWarningBox(this, Tr(QStringLiteral("Cannot add any more user."),
                                QStringLiteral("ユーザーをこれ以上追加できません。")));
        return;
    }
    const qint16 before = g_intUserCount;
    g_intEditMode = EDIT_MODE_ADD;
    {
        frmDetailedSetup dialog(0, this);
        dialog.exec();
    }
    RefreshUserList();
    if (g_intUserCount > before)
        SelectRow(g_intUserCount);
}

void frmSetup::btnEdit_Click() {
    // With rows but none selected there is nothing to edit.
    const int index = SelectedIndex();
    if (lvwUserList->topLevelItemCount() < 1 || index < 1)
        return;
    g_intEditMode = EDIT_MODE_EDIT;
    {
        frmDetailedSetup dialog(index, this);
        dialog.exec();
    }
    RefreshUserList();
}

void frmSetup::btnDelete_Click() {
    const int index = SelectedIndex();
    if (lvwUserList->topLevelItemCount() < 1 || index < 1)
        return;
    ShowStoreFailure(this, DeleteUser(static_cast<qint16>(index)));
    RefreshUserList();
}

void frmSetup::cmsMenuEnableDisable_Click() {
    if (lvwUserList->topLevelItemCount() < 1 || !SelectedItemHasText())
        return;
    UserRecord& user = g_udtUsers[static_cast<size_t>(SelectedIndex())];
    user.Disabled = static_cast<qint16>(user.Disabled ^ 1);
    RefreshUserList();
}
