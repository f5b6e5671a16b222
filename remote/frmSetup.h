// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog that lists the stored connections and adds, edits and deletes them.
#pragma once

#include "EditMode.h"
#include "SetupListDialog.h"

class QAction;

class frmSetup : public SetupListDialog {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr);
    ~frmSetup() override;

    // Add is refused once the highest index has reached this, so the list takes at most
    // 257 connections.
    static constexpr int kLastIndexLimit = 256;

protected:
    void ApplyLanguage() override;
    void btnAdd_Click() override;
    void btnEdit_Click() override;
    void btnDelete_Click() override;

private:
    void InitSettingList();
    void RefreshSettingList();
    void ShowDetailedSetup(EditMode mode);

    QGroupBox* fraSettingList = nullptr;
    QTreeWidget* lvwSettingList = nullptr;
    QAction* cmsMenuEdit = nullptr;
    QAction* cmsMenuDelete = nullptr;
};
