// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog that adds one stored connection or edits an existing one.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmDetailedSetup : public QDialog {
    Q_OBJECT
public:
    // Runs in the mode of g_intEditMode; in edit mode `recordIndex` is the record edited
    // (the setup list's selected position - 1).
    explicit frmDetailedSetup(int recordIndex, QWidget* parent = nullptr);
    ~frmDetailedSetup() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddField(QLabel*& label, const char* labelName, QLineEdit*& box, const char* boxName,
                  int maxLength);
    void SetFormFonts();
    void ApplyLanguage();
    void UpdateOkButton();
    void btnOk_Click();
    void ShowPin();

    int m_recordIndex;
    QLabel* lblConnectionName = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblIpAddress = nullptr;
    QLabel* lblPortNumber = nullptr;
    QLabel* lblUserName = nullptr;
    QLabel* lblPassword = nullptr;
    QLabel* lblRetypePassword = nullptr;
    QLineEdit* txtConnectionName = nullptr;
    QLineEdit* txtDescription = nullptr;
    QLineEdit* txtIpAddress = nullptr;
    QLineEdit* txtPortNumber = nullptr;
    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtRetypePassword = nullptr;
    // Encrypted calls: the fallback choice and the pin, kept beside the record (never in
    // it: older stations read the same file).
    QCheckBox* chkAllowUnencrypted = nullptr;
    QLabel* lblPin = nullptr;
    QPushButton* btnClearPin = nullptr;
    bool m_pinned = false;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
};
