// SPDX-License-Identifier: GPL-3.0-or-later
// The user list window: every user in a list, with add, edit, delete and
// enable/disable.
#pragma once

#include "SetupListDialog.h"

#include <QIcon>
#include <QMap>

class QAction;
class QLabel;

class frmSetup : public SetupListDialog {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr);
    ~frmSetup() override;

    // 1-based user index of the selected row, 0 when none is selected.
    int SelectedIndex() const { return SelectedPosition(); }

protected:
    void ApplyLanguage() override;
    void btnAdd_Click() override;
    void btnEdit_Click() override;
    void btnDelete_Click() override;

private:
    void Form_Load();
    void InitUserListView();
    void RefreshUserList();
    void cmsMenuEnableDisable_Click();
    void SelectRow(int index);

    QGroupBox* fraUserList = nullptr;
    QTreeWidget* lvwUserList = nullptr;
    QLabel* picDisabled = nullptr;
    // The list's images by key; "err" marks a disabled user.
    QMap<QString, QIcon> ilsIcon;
    QAction* cmsMenuDelete = nullptr;
    QAction* cmsMenuEdit = nullptr;
    QAction* Context_Operation_Line = nullptr;
    QAction* cmsMenuEnableDisable = nullptr;
};
