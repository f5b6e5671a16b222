// The user list window: every user in a list, with add, edit, delete and
// enable/disable.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QMap>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;

class frmSetup : public QDialog {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr);
    ~frmSetup() override;

    // 1-based user index of the selected row, 0 when none is selected.
    int SelectedIndex() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void InitUserListView();
    void ApplyLanguage();
    void RefreshUserList();

    void btnAdd_Click();
    void btnEdit_Click();
    void btnDelete_Click();
    void btnClose_Click();
    void cmsMenuDelete_Click();
    void cmsMenuEdit_Click();
    void cmsMenuEnableDisable_Click();
    void lvwUserList_MouseDown(int button, int shift, int x, int y);
    bool lvwUserList_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

    bool SelectedRowHasText() const;
    void SelectRow(int index);

    QGroupBox* fraUserList = nullptr;
    QTreeWidget* lvwUserList = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnEdit = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnClose = nullptr;
    QLabel* picDisabled = nullptr;
    // The list's images by key; "err" marks a disabled user.
    QMap<QString, QIcon> ilsIcon;
    QMenu* cmsMenu = nullptr;
    QAction* cmsMenuDelete = nullptr;
    QAction* cmsMenuEdit = nullptr;
    QAction* Context_Operation_Line = nullptr;
    QAction* cmsMenuEnableDisable = nullptr;
};
