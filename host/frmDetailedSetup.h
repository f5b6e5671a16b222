// SPDX-License-Identifier: GPL-3.0-or-later
// Edits one user of the list: name, password twice, description, disable flag.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmDetailedSetup : public QDialog {
    Q_OBJECT
public:
    // `editIndex` is the user being edited when g_intEditMode is EDIT_MODE_EDIT.
    explicit frmDetailedSetup(int editIndex, QWidget* parent = nullptr);
    ~frmDetailedSetup() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    void SetFormFonts();
    void ApplyLanguage();
    void UpdateOkButton();
    void btnOk_Click();
    void btnCancel_Click();

    int m_editIndex;

    QLabel* lblUserName = nullptr;
    QLineEdit* txtUserName = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLabel* lblRetypePassword = nullptr;
    QLineEdit* txtRetypePassword = nullptr;
    QLabel* lblDescription = nullptr;
    QLineEdit* txtDescription = nullptr;
    QCheckBox* chkDisableThisUser = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};
