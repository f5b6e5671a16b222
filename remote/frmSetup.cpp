// Dialog that lists the stored connections and adds, edits and deletes them.
#include "frmSetup.h"

#include "frmDetailedSetup.h"
#include "modControlCommon.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// Column widths of 2500 and 3800 twips at 15 twips a pixel.
constexpr int kNameColumnWidth = 167;
constexpr int kDescriptionColumnWidth = 253;
} // namespace

frmSetup::frmSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSetup"));
    fraSettingList = new QGroupBox(this);
    fraSettingList->setObjectName(QStringLiteral("fraSettingList"));
    lvwSettingList = new QTreeWidget(fraSettingList);
    lvwSettingList->setObjectName(QStringLiteral("lvwSettingList"));
    lvwSettingList->setRootIsDecorated(false);
    lvwSettingList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwSettingList->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Item positions are record positions: never sorted.
    lvwSettingList->setSortingEnabled(false);
    lvwSettingList->setContextMenuPolicy(Qt::PreventContextMenu);
    lvwSettingList->setMinimumWidth(kNameColumnWidth + kDescriptionColumnWidth + 24);
    auto* listLayout = new QVBoxLayout(fraSettingList);
    listLayout->addWidget(lvwSettingList);

    btnAdd = new QPushButton(this);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnEdit = new QPushButton(this);
    btnEdit->setObjectName(QStringLiteral("btnEdit"));
    btnDelete = new QPushButton(this);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnClose = new QPushButton(this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    auto* buttonColumn = new QVBoxLayout;
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete})
        buttonColumn->addWidget(b);
    buttonColumn->addStretch();
    buttonColumn->addWidget(btnClose);
    auto* outer = new QHBoxLayout(this);
    outer->addWidget(fraSettingList, 1);
    outer->addLayout(buttonColumn);

    cmsMenu = new QMenu(this);
    cmsMenu->setObjectName(QStringLiteral("cmsMenu"));
    cmsMenuEdit = cmsMenu->addAction(QString());
    cmsMenuEdit->setObjectName(QStringLiteral("cmsMenuEdit"));
    cmsMenuDelete = cmsMenu->addAction(QString());
    cmsMenuDelete->setObjectName(QStringLiteral("cmsMenuDelete"));

    connect(btnAdd, &QPushButton::clicked, this, &frmSetup::btnAdd_Click);
    connect(btnEdit, &QPushButton::clicked, this, &frmSetup::btnEdit_Click);
    connect(btnDelete, &QPushButton::clicked, this, &frmSetup::btnDelete_Click);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmsMenuEdit, &QAction::triggered, this, &frmSetup::btnEdit_Click);
    connect(cmsMenuDelete, &QAction::triggered, this, &frmSetup::btnDelete_Click);
    lvwSettingList->viewport()->installEventFilter(this);
    lvwSettingList->installEventFilter(this);

    InitSettingList();
    ApplyLanguage();
    SetHelpContext(this, HelpFilePath(QStringLiteral("TESSORAR")), HELP_CONTEXT_REMOTE_SETUP);
    RefreshSettingList();
}

frmSetup::~frmSetup() = default;

void frmSetup::InitSettingList() {
    SetFormBaseFont(this);
    lvwSettingList->setColumnCount(2);
    lvwSettingList->setHeaderLabels(
        {Tr(QStringLiteral("Connection Name"), QStringLiteral("接続名")),
         Tr(QStringLiteral("Description"), QStringLiteral("説明"))});
    lvwSettingList->header()->resizeSection(0, kNameColumnWidth);
    lvwSettingList->header()->resizeSection(1, kDescriptionColumnWidth);
    // Close is both the default button and, through Esc, the cancel button.
    btnClose->setDefault(true);
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete})
        b->setAutoDefault(false);
}

void frmSetup::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("Setup"), QStringLiteral("設定")));
    fraSettingList->setTitle(Tr(QStringLiteral("&Setting List"), QStringLiteral("設定リスト(&S)")));
    lvwSettingList->setToolTip(Tr(QStringLiteral("Setting List"), QStringLiteral("設定リスト")));
    cmsMenuEdit->setText(Tr(QStringLiteral("&Edit..."), QStringLiteral("編集(&E)...")));
    cmsMenuDelete->setText(Tr(QStringLiteral("&Delete"), QStringLiteral("削除(&D)")));
    btnAdd->setText(Tr(QStringLiteral("&Add..."), QStringLiteral("追加(&A)...")));
    btnAdd->setToolTip(Tr(QStringLiteral("Add"), QStringLiteral("追加")));
    btnDelete->setText(Tr(QStringLiteral("&Delete"), QStringLiteral("削除(&D)")));
    btnDelete->setToolTip(Tr(QStringLiteral("Delete"), QStringLiteral("削除")));
    btnEdit->setText(Tr(QStringLiteral("&Edit..."), QStringLiteral("編集(&E)...")));
    btnEdit->setToolTip(Tr(QStringLiteral("Edit"), QStringLiteral("編集")));
    btnClose->setText(Tr(QStringLiteral("&Close"), QStringLiteral("閉じる(&C)")));
    btnClose->setToolTip(Tr(QStringLiteral("Close"), QStringLiteral("閉じる")));
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

int frmSetup::SelectedPosition() const {
    const QList<QTreeWidgetItem*> selected = lvwSettingList->selectedItems();
    if (selected.isEmpty())
        return 0;
    return lvwSettingList->indexOfTopLevelItem(selected.first()) + 1;
}

void frmSetup::ShowDetailedSetup(int mode) {
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
    DeleteConnection(SelectedPosition());
    RefreshSettingList();
}

void frmSetup::lvwSettingList_MouseDown(Qt::MouseButton button, int x, int y) {
    if (button != Qt::RightButton || lvwSettingList->topLevelItemCount() < 1)
        return;
    const int position = SelectedPosition();
    if (position < 1 || lvwSettingList->topLevelItem(position - 1)->text(0).isEmpty())
        return;
    // From the keyboard (coordinates 0) the menu opens in the middle of the list.
    const QPoint at = (x != 0 && y != 0)
                          ? QPoint(x, y)
                          : QPoint(lvwSettingList->width() / 2, lvwSettingList->height() / 2);
    cmsMenu->popup(lvwSettingList->mapToGlobal(at));
}

bool frmSetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lvwSettingList->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            const QPoint inViewport = mouse->position().toPoint();
            if (QTreeWidgetItem* item = lvwSettingList->itemAt(inViewport))
                lvwSettingList->setCurrentItem(item);
            const QPoint inList = lvwSettingList->viewport()->mapTo(lvwSettingList, inViewport);
            lvwSettingList_MouseDown(Qt::RightButton, inList.x(), inList.y());
            return true;
        }
    }
    if (watched == lvwSettingList && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (shiftF10 || key->key() == Qt::Key_Menu) {
            lvwSettingList_MouseDown(Qt::RightButton, 0, 0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
