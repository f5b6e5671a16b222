// SPDX-License-Identifier: GPL-3.0-or-later
// Edits one user of the list: name, password twice, description, disable flag.
#include "frmDetailedSetup.h"

#include "LocalTextValidator.h"
#include "SetupListDialog.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHost.h"
#include "modHvnRegistry.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kNameLimit = 32;
constexpr int kPasswordLimit = 32;
constexpr int kDescriptionLimit = 128;

// "&" separates the fields of a stored user line and of a caller's user
// data, so it cannot be part of a name or a password.
bool FitsLineLayout(const QString& text) {
    return !text.contains(QLatin1Char('&'));
}

QLineEdit* NewBox(QWidget* parent, const char* name, int limit) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaxLength(limit);
    box->setMinimumWidth(220);
    SelectAllOnFocus(box);
    return box;
}

QLabel* NewLabel(QWidget* parent, const char* name, QWidget* buddy) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

} // namespace

frmDetailedSetup::frmDetailedSetup(int editIndex, QWidget* parent)
    : QDialog(parent), m_editIndex(editIndex) {
    setObjectName(QStringLiteral("frmDetailedSetup"));
    setModal(true);

    txtUserName = NewBox(this, "txtUserName", kNameLimit);
    txtPassword = NewBox(this, "txtPassword", kPasswordLimit);
    txtRetypePassword = NewBox(this, "txtRetypePassword", kPasswordLimit);
    txtDescription = NewBox(this, "txtDescription", kDescriptionLimit);
    for (QLineEdit* box : {txtPassword, txtRetypePassword})
        DetailedSetup::MaskPassword(box);
    const QRegularExpression noAmpersand(QStringLiteral("[^&]*"));
    for (QLineEdit* box : {txtUserName, txtPassword, txtRetypePassword})
        box->setValidator(new LocalTextValidator(noAmpersand, box));
    // A line end would split the stored line.
    txtDescription->setValidator(
        new LocalTextValidator(QRegularExpression(QStringLiteral("[^\\r\\n]*")), txtDescription));
    lblUserName = NewLabel(this, "lblUserName", txtUserName);
    lblPassword = NewLabel(this, "lblPassword", txtPassword);
    lblRetypePassword = NewLabel(this, "lblRetypePassword", txtRetypePassword);
    lblDescription = NewLabel(this, "lblDescription", txtDescription);
    chkDisableThisUser = new QCheckBox(this);
    chkDisableThisUser->setObjectName(QStringLiteral("chkDisableThisUser"));
    btnOk = new QPushButton(this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    {
        auto* grid = new QGridLayout;
        grid->addWidget(lblUserName, 0, 0);
        grid->addWidget(txtUserName, 0, 1);
        grid->addWidget(lblPassword, 1, 0);
        grid->addWidget(txtPassword, 1, 1);
        grid->addWidget(lblRetypePassword, 2, 0);
        grid->addWidget(txtRetypePassword, 2, 1);
        grid->addWidget(lblDescription, 3, 0);
        grid->addWidget(txtDescription, 3, 1);
        grid->addWidget(chkDisableThisUser, 4, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(btnOk);
        buttons->addWidget(btnCancel);
        auto* column = new QVBoxLayout(this);
        column->addLayout(grid);
        column->addLayout(buttons);
    }

    for (QLineEdit* box : {txtUserName, txtPassword, txtRetypePassword, txtDescription})
        connect(box, &QLineEdit::textChanged, this, &frmDetailedSetup::UpdateOkButton);
    connect(btnOk, &QPushButton::clicked, this, &frmDetailedSetup::btnOk_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmDetailedSetup::btnCancel_Click);

    Form_Load();
}

frmDetailedSetup::~frmDetailedSetup() = default;

void frmDetailedSetup::Form_Load() {
    SetFormFonts();
    ApplyLanguage();
    SetHelpContext(this, HelpFilePath(QStringLiteral("TESSORAH")),
                   HELP_CONTEXT_HOST_DETAILED_SETUP);
    const bool editing =
        g_intEditMode == EDIT_MODE_EDIT && m_editIndex >= 1 && m_editIndex <= g_intUserCount;
    if (editing) {
        const UserRecord& user = g_udtUsers[static_cast<size_t>(m_editIndex)];
        SetWholeText(txtUserName, user.UserName);
        SetWholeText(txtPassword, user.Password);
        SetWholeText(txtRetypePassword, user.Password);
        chkDisableThisUser->setChecked(user.Disabled != 0);
        SetWholeText(txtDescription, user.Description);
        // A user's name cannot be changed.
        DetailedSetup::LockKeyField(txtUserName, Qt::NoFocus);
    }
    UpdateOkButton();
}

void frmDetailedSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The dialog's own focus handling runs on show; take the focus after it.
    QTimer::singleShot(0, this, &frmDetailedSetup::Form_Activate);
}

void frmDetailedSetup::Form_Activate() {
    if (g_intEditMode == EDIT_MODE_EDIT)
        txtPassword->setFocus(Qt::OtherFocusReason);
}

void frmDetailedSetup::SetFormFonts() {
    DetailedSetup::SetFormFonts(this, btnOk, btnCancel);
}

void frmDetailedSetup::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("Detailed Setup"), QStringLiteral("詳細設定")));
    lblUserName->setText(Tr(QStringLiteral("User &Name"), QStringLiteral("ユーザー名(&N)")));
    txtUserName->setToolTip(Tr(QStringLiteral("User Name"), QStringLiteral("ユーザー名")));
    lblPassword->setText(Tr(QStringLiteral("&Password"), QStringLiteral("パスワード(&P)")));
    txtPassword->setToolTip(Tr(QStringLiteral("Password"), QStringLiteral("パスワード")));
    lblRetypePassword->setText(
        Tr(QStringLiteral("&Retype Password"), QStringLiteral("パスワード再入力(&R)")));
    txtRetypePassword->setToolTip(
        Tr(QStringLiteral("Retype Password"), QStringLiteral("パスワード再入力")));
    lblDescription->setText(Tr(QStringLiteral("&Description"), QStringLiteral("説明(&D)")));
    txtDescription->setToolTip(Tr(QStringLiteral("Description"), QStringLiteral("説明")));
    chkDisableThisUser->setText(
        Tr(QStringLiteral("D&isable this user"), QStringLiteral("このユーザーを無効にする(&I)")));
    chkDisableThisUser->setToolTip(
        Tr(QStringLiteral("Disable this user"), QStringLiteral("このユーザーを無効にする")));
    DetailedSetup::ApplyButtonCaptions(btnOk, btnCancel);
}

void frmDetailedSetup::UpdateOkButton() {
    const QString name = txtUserName->text();
    const QString password = txtPassword->text();
    const QString retyped = txtRetypePassword->text();
    btnOk->setEnabled(!name.isEmpty() && !password.isEmpty() && !retyped.isEmpty() &&
                      password == retyped && FitsLineLayout(name) && FitsLineLayout(password));
}

void frmDetailedSetup::btnOk_Click() {
    const QString name = txtUserName->text();
    const QString password = txtPassword->text();
    const QString retyped = txtRetypePassword->text();
    if (!name.isEmpty() && !password.isEmpty() && !retyped.isEmpty() && password == retyped &&
        FitsLineLayout(name) && FitsLineLayout(password)) {
        const qint16 disabled = chkDisableThisUser->isChecked() ? 1 : 0;
        if (g_intEditMode == EDIT_MODE_ADD) {
            AddUser(UserRecord{name, password, disabled, txtDescription->text()});
        } else if (g_intEditMode == EDIT_MODE_EDIT && m_editIndex >= 1 &&
                   m_editIndex <= g_intUserCount) {
            UserRecord& user = g_udtUsers[static_cast<size_t>(m_editIndex)];
            user.Password = password;
            user.Disabled = disabled;
            user.Description = txtDescription->text();
        }
    }
    accept();
}

void frmDetailedSetup::btnCancel_Click() {
    reject();
}
