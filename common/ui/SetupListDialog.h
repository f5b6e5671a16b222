// SPDX-License-Identifier: GPL-3.0-or-later
// What the two stations' Setup dialogs share: a list in report view inside a
// frame, the Add, Edit, Delete and Close buttons, and a context menu that opens
// on a right click, Shift+F10 or the Menu key. Each station fills the list,
// the menu and the three button actions itself (users on the host,
// connections on the remote). Also the pieces both Detailed Setup dialogs use.
#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;

class SetupListDialog : public QDialog {
    Q_OBJECT
public:
    ~SetupListDialog() override;

protected:
    SetupListDialog(const char* frameName, const char* listName, QWidget* parent);

    // Base font, Close as the default (and, through Esc, cancel) button.
    void SetFormFonts();
    // The title and the four buttons' captions; a station's override calls this first.
    virtual void ApplyLanguage();
    // 1-based position of the selected item, 0 when none is selected.
    int SelectedPosition() const;
    // True when the list holds an item, one is selected and its text is not empty.
    bool SelectedItemHasText() const;

    virtual void btnAdd_Click() = 0;
    virtual void btnEdit_Click() = 0;
    virtual void btnDelete_Click() = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

    QGroupBox* m_frame = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnEdit = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnClose = nullptr;
    QMenu* cmsMenu = nullptr;

private:
    // The context menu at (x, y) in the list, or from the keyboard (0, 0) in its middle.
    void List_MouseDown(int x, int y);
};

// The parts of a Detailed Setup dialog that both stations share.
namespace DetailedSetup {
// Base font; OK the default button, Cancel not.
void SetFormFonts(QDialog* dialog, QPushButton* ok, QPushButton* cancel);
// The OK and Cancel captions and tool tips.
void ApplyButtonCaptions(QPushButton* ok, QPushButton* cancel);
// Every character of a password box shows as "*".
void MaskPassword(QLineEdit* box);
// The record's key field while editing: read-only, with the button face's colour.
void LockKeyField(QLineEdit* box, Qt::FocusPolicy focus);
} // namespace DetailedSetup
