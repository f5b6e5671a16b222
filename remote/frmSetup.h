// Dialog that lists the stored connections and adds, edits and deletes them.
#pragma once

#include <QDialog>

class QAction;
class QGroupBox;
class QMenu;
class QPushButton;
class QTreeWidget;

class frmSetup : public QDialog {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr);
    ~frmSetup() override;

    // Add is refused once the highest index has reached this, so the list takes at most
    // 257 connections.
    static constexpr int kLastIndexLimit = 256;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitSettingList();
    void ApplyLanguage();
    void RefreshSettingList();
    // 1-based position of the selected item, 0 when none is selected.
    int SelectedPosition() const;
    void ShowDetailedSetup(int mode);
    void btnAdd_Click();
    void btnEdit_Click();
    void btnDelete_Click();
    void lvwSettingList_MouseDown(Qt::MouseButton button, int x, int y);

    QGroupBox* fraSettingList = nullptr;
    QTreeWidget* lvwSettingList = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnEdit = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnClose = nullptr;
    QMenu* cmsMenu = nullptr;
    QAction* cmsMenuEdit = nullptr;
    QAction* cmsMenuDelete = nullptr;
};
