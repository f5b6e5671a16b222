// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog that lists the stored connections and adds, edits and deletes them.
#include "frmSetup.h"

#include "frmDetailedSetup.h"
#include "modAccessibility.h"
#include "modControlCommon.h"
#include "modHelpConst.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>

namespace {
// Column widths of 2500 and 3800 twips at 15 twips a pixel.
constexpr int kNameColumnWidth = 167;
constexpr int kDescriptionColumnWidth = 253;
} // namespace

frmSetup::frmSetup(QWidget* parent)
    : SetupListDialog("fraSettingList", "lvwSettingList", parent), fraSettingList(m_frame),
      lvwSettingList(m_list) {
    lvwSettingList->setMinimumWidth(kNameColumnWidth + kDescriptionColumnWidth + 24);
    cmsMenuEdit = cmsMenu->addAction(QString());
    cmsMenuEdit->setObjectName(QStringLiteral("cmsMenuEdit"));
    cmsMenuDelete = cmsMenu->addAction(QString());
    cmsMenuDelete->setObjectName(QStringLiteral("cmsMenuDelete"));
    connect(cmsMenuEdit, &QAction::triggered, this, &frmSetup::btnEdit_Click);
    connect(cmsMenuDelete, &QAction::triggered, this, &frmSetup::btnDelete_Click);

    InitSettingList();
    ApplyLanguage();
    SetHelpContext(this, HelpFilePath(QStringLiteral("TESSORAR")), HELP_CONTEXT_REMOTE_SETUP);
    RefreshSettingList();
}

frmSetup::~frmSetup() = default;

void frmSetup::InitSettingList() {
    SetFormFonts();
    lvwSettingList->setColumnCount(2);
    lvwSettingList->setHeaderLabels(
        {Tr(QStringLiteral("Connection Name"), QStringLiteral("接続名")),
         Tr(QStringLiteral("Description"), QStringLiteral("説明"))});
    lvwSettingList->header()->resizeSection(0, kNameColumnWidth);
    lvwSettingList->header()->resizeSection(1, kDescriptionColumnWidth);
}

void frmSetup::ApplyLanguage() {
    SetupListDialog::ApplyLanguage();
    fraSettingList->setTitle(Tr(QStringLiteral("&Setting List"), QStringLiteral("設定リスト(&S)")));
    lvwSettingList->setToolTip(Tr(QStringLiteral("Setting List"), QStringLiteral("設定リスト")));
    NameForReaders(lvwSettingList, lvwSettingList->toolTip());
    cmsMenuEdit->setText(Tr(QStringLiteral("&Edit..."), QStringLiteral("編集(&E)...")));
    cmsMenuDelete->setText(Tr(QStringLiteral("&Delete"), QStringLiteral("削除(&D)")));
}

void frmSetup::RefreshSettingList() {
    lvwSettingList->clear();
    for (int i = 0; i <= g_intLastConnectionIndex; ++i) {
        const ConnectionRecord& r = g_udtConnections[static_cast<size_t>(i)];
        auto* item = new QTreeWidgetItem(lvwSettingList);
        item->setText(0, r.ConnectName);
        item->setText(1, r.Description);
    }
    // As a report view does, the first item starts out selected.
    if (lvwSettingList->topLevelItemCount() > 0)
        lvwSettingList->setCurrentItem(lvwSettingList->topLevelItem(0));
}

void frmSetup::ShowDetailedSetup(EditMode mode) {
    g_intEditMode = mode;
    frmDetailedSetup dialog(SelectedPosition() - 1, this);
    dialog.exec();
    RefreshSettingList();
}

void frmSetup::btnAdd_Click() {
    if (g_intLastConnectionIndex <= kLastIndexLimit - 1) {
        ShowDetailedSetup(EDIT_MODE_ADD);
        return;
    }
    ShowWarningBox(this, Tr(QStringLiteral("Cannot add any more connection."),
                            QStringLiteral("接続をこれ以上追加できません。")));
}

void frmSetup::btnEdit_Click() {
    // Nothing to edit without a selected item (the selection can be cleared with Ctrl+click).
    if (lvwSettingList->topLevelItemCount() < 1 || SelectedPosition() < 1)
        return;
    ShowDetailedSetup(EDIT_MODE_EDIT);
}

void frmSetup::btnDelete_Click() {
    if (lvwSettingList->topLevelItemCount() < 1 || SelectedPosition() < 1)
        return;
    // A box of its own, centred on the screen, as the store's reports always were.
    ShowStoreFailure(nullptr, DeleteConnection(SelectedPosition()));
    RefreshSettingList();
}
