// SPDX-License-Identifier: GPL-3.0-or-later
// What the two stations' Setup dialogs share.
#include "SetupListDialog.h"

#include "modFormCommon.h"
#include "modHvnRegistry.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QPushButton* NewButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

SetupListDialog::SetupListDialog(const char* frameName, const char* listName, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmSetup"));
    setModal(true);
    m_frame = new QGroupBox(this);
    m_frame->setObjectName(QString::fromLatin1(frameName));
    m_list = new QTreeWidget(m_frame);
    m_list->setObjectName(QString::fromLatin1(listName));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Item positions are record positions: never sorted.
    m_list->setSortingEnabled(false);
    m_list->setContextMenuPolicy(Qt::PreventContextMenu);
    auto* listLayout = new QVBoxLayout(m_frame);
    listLayout->addWidget(m_list);

    btnAdd = NewButton(this, "btnAdd");
    btnEdit = NewButton(this, "btnEdit");
    btnDelete = NewButton(this, "btnDelete");
    btnClose = NewButton(this, "btnClose");
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto* row = new QHBoxLayout(this);
    row->addWidget(m_frame, 1);
    row->addLayout(buttons);

    cmsMenu = new QMenu(this);
    cmsMenu->setObjectName(QStringLiteral("cmsMenu"));

    connect(btnAdd, &QPushButton::clicked, this, [this] { btnAdd_Click(); });
    connect(btnEdit, &QPushButton::clicked, this, [this] { btnEdit_Click(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { btnDelete_Click(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

SetupListDialog::~SetupListDialog() = default;

void SetupListDialog::SetFormFonts() {
    SetFormBaseFont(this);
    btnClose->setDefault(true);
    btnClose->setAutoDefault(true);
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete})
        b->setAutoDefault(false);
}

void SetupListDialog::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("Setup"), QStringLiteral("設定")));
    btnAdd->setText(Tr(QStringLiteral("&Add..."), QStringLiteral("追加(&A)...")));
    btnAdd->setToolTip(Tr(QStringLiteral("Add"), QStringLiteral("追加")));
    btnDelete->setText(Tr(QStringLiteral("&Delete"), QStringLiteral("削除(&D)")));
    btnDelete->setToolTip(Tr(QStringLiteral("Delete"), QStringLiteral("削除")));
    btnEdit->setText(Tr(QStringLiteral("&Edit..."), QStringLiteral("編集(&E)...")));
    btnEdit->setToolTip(Tr(QStringLiteral("Edit"), QStringLiteral("編集")));
    btnClose->setText(Tr(QStringLiteral("&Close"), QStringLiteral("閉じる(&C)")));
    btnClose->setToolTip(Tr(QStringLiteral("Close"), QStringLiteral("閉じる")));
}

int SetupListDialog::SelectedPosition() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return 0;
    return m_list->indexOfTopLevelItem(selected.first()) + 1;
}

bool SetupListDialog::SelectedItemHasText() const {
    const int position = SelectedPosition();
    return position > 0 && !m_list->topLevelItem(position - 1)->text(0).isEmpty();
}

void SetupListDialog::List_MouseDown(int x, int y) {
    if (m_list->topLevelItemCount() < 1 || !SelectedItemHasText())
        return;
    const QPoint at =
        (x != 0 && y != 0) ? QPoint(x, y) : QPoint(m_list->width() / 2, m_list->height() / 2);
    cmsMenu->popup(m_list->mapToGlobal(at));
}

bool SetupListDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            // The item under the pointer becomes the selected one first.
            const QPoint inViewport = mouse->position().toPoint();
            if (QTreeWidgetItem* item = m_list->itemAt(inViewport))
                m_list->setCurrentItem(item);
            const QPoint inList = m_list->viewport()->mapTo(m_list, inViewport);
            List_MouseDown(inList.x(), inList.y());
            return true;
        }
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (shiftF10 || key->key() == Qt::Key_Menu) {
            List_MouseDown(0, 0);
            return true; // swallowed
        }
    }
    return QDialog::eventFilter(watched, event);
}

namespace DetailedSetup {

void SetFormFonts(QDialog* dialog, QPushButton* ok, QPushButton* cancel) {
    SetFormBaseFont(dialog);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    cancel->setAutoDefault(false);
}

void ApplyButtonCaptions(QPushButton* ok, QPushButton* cancel) {
    ok->setText(Tr(QStringLiteral("&OK"), QStringLiteral("OK(&O)")));
    ok->setToolTip(Tr(QStringLiteral("OK"), QStringLiteral("OK")));
    cancel->setText(Tr(QStringLiteral("&Cancel"), QStringLiteral("キャンセル(&C)")));
    cancel->setToolTip(Tr(QStringLiteral("Cancel"), QStringLiteral("キャンセル")));
}

void MaskPassword(QLineEdit* box) {
    box->setEchoMode(QLineEdit::Password);
    // Every character shows as "*", whatever the style's own mask.
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void LockKeyField(QLineEdit* box, Qt::FocusPolicy focus) {
    box->setReadOnly(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    box->setPalette(palette);
    box->setFocusPolicy(focus);
}

} // namespace DetailedSetup
