// The user list window: every user in a list, with add, edit, delete and
// enable/disable.
#include "frmSetup.h"

#include "frmDetailedSetup.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHost.h"
#include "modHvnRegistry.h"
#include "modMessage.h"
#include "modPictures.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kDisabledIconKey = QStringLiteral("err");
const QString kPasswordMask = QStringLiteral("**********");

// Key codes and button values of the list's mouse and key handlers.
constexpr int kRightButton = 2;
constexpr int kKeyF10 = 121;
constexpr int kKeyContextMenu = 93;

} // namespace

frmSetup::frmSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSetup"));
    setModal(true);

    fraUserList = new QGroupBox(this);
    fraUserList->setObjectName(QStringLiteral("fraUserList"));
    lvwUserList = new QTreeWidget(fraUserList);
    lvwUserList->setObjectName(QStringLiteral("lvwUserList"));
    lvwUserList->setRootIsDecorated(false);
    lvwUserList->setUniformRowHeights(true);
    lvwUserList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwUserList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwUserList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwUserList->setContextMenuPolicy(Qt::PreventContextMenu);
    lvwUserList->setMinimumSize(420, 220);
    {
        auto* box = new QVBoxLayout(fraUserList);
        box->addWidget(lvwUserList);
    }

    btnAdd = new QPushButton(this);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnEdit = new QPushButton(this);
    btnEdit->setObjectName(QStringLiteral("btnEdit"));
    btnDelete = new QPushButton(this);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnClose = new QPushButton(this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    picDisabled = new QLabel(this);
    picDisabled->setObjectName(QStringLiteral("picDisabled"));
    picDisabled->setPixmap(DisabledUserPixmap());
    picDisabled->hide();

    cmsMenu = new QMenu(QStringLiteral("Operation"), this);
    cmsMenu->setObjectName(QStringLiteral("cmsMenu"));
    cmsMenuDelete = cmsMenu->addAction(QString());
    cmsMenuDelete->setObjectName(QStringLiteral("cmsMenuDelete"));
    cmsMenuEdit = cmsMenu->addAction(QString());
    cmsMenuEdit->setObjectName(QStringLiteral("cmsMenuEdit"));
    Context_Operation_Line = cmsMenu->addSeparator();
    Context_Operation_Line->setObjectName(QStringLiteral("Context_Operation_Line"));
    cmsMenuEnableDisable = cmsMenu->addAction(QString());
    cmsMenuEnableDisable->setObjectName(QStringLiteral("cmsMenuEnableDisable"));

    {
        auto* buttons = new QVBoxLayout;
        buttons->addWidget(btnAdd);
        buttons->addWidget(btnEdit);
        buttons->addWidget(btnDelete);
        buttons->addStretch(1);
        buttons->addWidget(btnClose);
        auto* row = new QHBoxLayout(this);
        row->addWidget(fraUserList, 1);
        row->addLayout(buttons);
    }

    connect(btnAdd, &QPushButton::clicked, this, &frmSetup::btnAdd_Click);
    connect(btnEdit, &QPushButton::clicked, this, &frmSetup::btnEdit_Click);
    connect(btnDelete, &QPushButton::clicked, this, &frmSetup::btnDelete_Click);
    connect(btnClose, &QPushButton::clicked, this, &frmSetup::btnClose_Click);
    connect(cmsMenuDelete, &QAction::triggered, this, &frmSetup::cmsMenuDelete_Click);
    connect(cmsMenuEdit, &QAction::triggered, this, &frmSetup::cmsMenuEdit_Click);
    connect(cmsMenuEnableDisable, &QAction::triggered, this, &frmSetup::cmsMenuEnableDisable_Click);
    lvwUserList->installEventFilter(this);
    lvwUserList->viewport()->installEventFilter(this);

    Form_Load();
}

frmSetup::~frmSetup() = default;

void frmSetup::Form_Load() {
    InitUserListView();
    ApplyLanguage();
    SetHelpContext(this, HelpFilePath(QStringLiteral("TESSORAH")), HELP_CONTEXT_HOST_SETUP);
    RefreshUserList();
    SelectRow(1);
}

void frmSetup::InitUserListView() {
    SetFormBaseFont(this);
    ilsIcon.insert(kDisabledIconKey, QIcon(picDisabled->pixmap()));
    lvwUserList->setIconSize(picDisabled->pixmap().size());
    lvwUserList->setColumnCount(3);
    // Columns of 1700, 1700 and 2600 twips.
    lvwUserList->setColumnWidth(0, 113);
    lvwUserList->setColumnWidth(1, 113);
    lvwUserList->setColumnWidth(2, 173);
    btnClose->setDefault(true);
    btnClose->setAutoDefault(true);
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete})
        b->setAutoDefault(false);
}

void frmSetup::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("Setup"), QStringLiteral("設定")));
    fraUserList->setTitle(Tr(QStringLiteral("&User List"), QStringLiteral("ユーザー・リスト(&U)")));
    lvwUserList->setToolTip(Tr(QStringLiteral("User List"), QStringLiteral("ユーザー・リスト")));
    lvwUserList->setHeaderLabels({Tr(QStringLiteral("User Name"), QStringLiteral("ユーザー名")),
                                  Tr(QStringLiteral("Password"), QStringLiteral("パスワード")),
                                  Tr(QStringLiteral("Description"), QStringLiteral("説明"))});
    cmsMenuDelete->setText(Tr(QStringLiteral("&Delete"), QStringLiteral("削除(&D)")));
    cmsMenuEdit->setText(Tr(QStringLiteral("&Edit..."), QStringLiteral("編集(&E)...")));
    cmsMenuEnableDisable->setText(
        Tr(QStringLiteral("E&nable/Disable"), QStringLiteral("有効/無効(&N)")));
    btnAdd->setText(Tr(QStringLiteral("&Add..."), QStringLiteral("追加(&A)...")));
    btnAdd->setToolTip(Tr(QStringLiteral("Add"), QStringLiteral("追加")));
    btnDelete->setText(Tr(QStringLiteral("&Delete"), QStringLiteral("削除(&D)")));
    btnDelete->setToolTip(Tr(QStringLiteral("Delete"), QStringLiteral("削除")));
    btnEdit->setText(Tr(QStringLiteral("&Edit..."), QStringLiteral("編集(&E)...")));
    btnEdit->setToolTip(Tr(QStringLiteral("Edit"), QStringLiteral("編集")));
    btnClose->setText(Tr(QStringLiteral("&Close"), QStringLiteral("閉じる(&C)")));
    btnClose->setToolTip(Tr(QStringLiteral("Close"), QStringLiteral("閉じる")));
}

void frmSetup::RefreshUserList() {
    const int selected = SelectedIndex();
    lvwUserList->clear();
    for (int i = 1; i <= g_intUserCount; ++i) {
        const UserRecord& user = g_udtUsers[static_cast<size_t>(i)];
        auto* row = new QTreeWidgetItem(lvwUserList);
        row->setText(0, user.UserName);
        if (user.Disabled == 1)
            row->setIcon(0, ilsIcon.value(kDisabledIconKey));
        row->setText(1, kPasswordMask);
        row->setText(2, user.Description);
    }
    // Rows equal users again; keep the selection on the same place.
    SelectRow(std::min(selected, static_cast<int>(g_intUserCount)));
}

int frmSetup::SelectedIndex() const {
    const QList<QTreeWidgetItem*> rows = lvwUserList->selectedItems();
    if (rows.isEmpty())
        return 0;
    return lvwUserList->indexOfTopLevelItem(rows.first()) + 1;
}

void frmSetup::SelectRow(int index) {
    if (index < 1 || index > lvwUserList->topLevelItemCount())
        return;
    lvwUserList->setCurrentItem(lvwUserList->topLevelItem(index - 1));
}

bool frmSetup::SelectedRowHasText() const {
    const int index = SelectedIndex();
    return index > 0 && !lvwUserList->topLevelItem(index - 1)->text(0).isEmpty();
}

void frmSetup::btnAdd_Click() {
    if (g_intUserCount >= kMaxUsers) {
        ShowWarningBox(this, Tr(QStringLiteral("Cannot add any more user."),
                                QStringLiteral("ユーザーをこれ以上追加できません。")));
        return;
    }
    const qint16 before = g_intUserCount;
    g_intEditMode = 1;
    {
        frmDetailedSetup dialog(0, this);
        dialog.exec();
    }
    RefreshUserList();
    if (g_intUserCount > before)
        SelectRow(g_intUserCount);
}

void frmSetup::btnEdit_Click() {
    // With rows but none selected there is nothing to edit.
    const int index = SelectedIndex();
    if (lvwUserList->topLevelItemCount() < 1 || index < 1)
        return;
    g_intEditMode = 2;
    {
        frmDetailedSetup dialog(index, this);
        dialog.exec();
    }
    RefreshUserList();
}

void frmSetup::btnDelete_Click() {
    const int index = SelectedIndex();
    if (lvwUserList->topLevelItemCount() < 1 || index < 1)
        return;
    DeleteUser(static_cast<qint16>(index));
    RefreshUserList();
}

void frmSetup::btnClose_Click() {
    accept();
}

void frmSetup::cmsMenuDelete_Click() {
    btnDelete_Click();
}

void frmSetup::cmsMenuEdit_Click() {
    btnEdit_Click();
}

void frmSetup::cmsMenuEnableDisable_Click() {
    if (lvwUserList->topLevelItemCount() < 1 || !SelectedRowHasText())
        return;
    UserRecord& user = g_udtUsers[static_cast<size_t>(SelectedIndex())];
    user.Disabled = static_cast<qint16>(user.Disabled ^ 1);
    RefreshUserList();
}

void frmSetup::lvwUserList_MouseDown(int button, int /*shift*/, int x, int y) {
    if (button != kRightButton || lvwUserList->topLevelItemCount() < 1 || !SelectedRowHasText())
        return;
    const QPoint at =
        (x != 0 && y != 0)
            ? lvwUserList->viewport()->mapToGlobal(QPoint(x, y))
            : lvwUserList->mapToGlobal(QPoint(lvwUserList->width() / 2, lvwUserList->height() / 2));
    cmsMenu->popup(at);
}

bool frmSetup::lvwUserList_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    if ((shift == Qt::ShiftModifier && keyCode == kKeyF10) || keyCode == kKeyContextMenu) {
        lvwUserList_MouseDown(kRightButton, 0, 0, 0);
        return true; // swallowed
    }
    return false;
}

bool frmSetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lvwUserList->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            // The row under the pointer becomes the selected one first.
            const QPoint pos = mouse->position().toPoint();
            if (QTreeWidgetItem* row = lvwUserList->itemAt(pos))
                lvwUserList->setCurrentItem(row);
            lvwUserList_MouseDown(kRightButton, 0, pos.x(), pos.y());
            return true;
        }
    }
    if (watched == lvwUserList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        int code = 0;
        if (key->key() == Qt::Key_F10)
            code = kKeyF10;
        else if (key->key() == Qt::Key_Menu)
            code = kKeyContextMenu;
        if (code != 0 && lvwUserList_KeyDown(code, key->modifiers()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
