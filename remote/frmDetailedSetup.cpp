// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog that adds one stored connection or edits an existing one.
#include "frmDetailedSetup.h"

#include "LocalTextValidator.h"
#include "SetupListDialog.h"
#include "modConnectionSecurity.h"
#include "modControlCommon.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include "NetAddress.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The connection list's line layout separates its fields with "&" and its records with line
// ends, so only the password, the last field, may hold "&"; no field may hold a line end.
const QRegularExpression kNoSeparator(QStringLiteral("[^&\\r\\n]*"));
const QRegularExpression kNoLineEnd(QStringLiteral("[^\\r\\n]*"));
const QRegularExpression kDigits(QStringLiteral("[0-9]*"));

QString AddressRefusedMessage() {
    return Tr(QStringLiteral("The IP address must be an IPv4 address (192.0.2.7), an IPv6 address "
                             "(2001:db8::7, with or without [ ]) or a host name "
                             "(host.example.com)."),
              QStringLiteral("IPアドレスには、IPv4アドレス（192.0.2.7）、IPv6アドレス"
                             "（2001:db8::7、[ ] は付けても付けなくてもかまいません）、"
                             "またはホスト名（host.example.com）を入力してください。"));
}

bool IsDecimalNumber(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

frmDetailedSetup::frmDetailedSetup(int recordIndex, QWidget* parent)
    : QDialog(parent), m_recordIndex(recordIndex) {
    setObjectName(QStringLiteral("frmDetailedSetup"));
    auto* grid = new QGridLayout;
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);

    AddField(lblConnectionName, "lblConnectionName", txtConnectionName, "txtConnectionName", 32);
    AddField(lblDescription, "lblDescription", txtDescription, "txtDescription", 128);
    AddField(lblIpAddress, "lblIpAddress", txtIpAddress, "txtIpAddress", 256);
    AddField(lblPortNumber, "lblPortNumber", txtPortNumber, "txtPortNumber", 5);
    AddField(lblUserName, "lblUserName", txtUserName, "txtUserName", 32);
    AddField(lblPassword, "lblPassword", txtPassword, "txtPassword", 32);
    AddField(lblRetypePassword, "lblRetypePassword", txtRetypePassword, "txtRetypePassword", 32);
    const std::pair<QLabel*, QLineEdit*> rows[] = {{lblConnectionName, txtConnectionName},
                                                   {lblDescription, txtDescription},
                                                   {lblIpAddress, txtIpAddress},
                                                   {lblPortNumber, txtPortNumber},
                                                   {lblUserName, txtUserName},
                                                   {lblPassword, txtPassword},
                                                   {lblRetypePassword, txtRetypePassword}};
    int row = 0;
    for (const auto& [label, box] : rows) {
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    txtDescription->setMinimumWidth(280);

    chkAllowUnencrypted = new QCheckBox(this);
    chkAllowUnencrypted->setObjectName(QStringLiteral("chkAllowUnencrypted"));
    grid->addWidget(chkAllowUnencrypted, row++, 0, 1, 2);
    lblPin = new QLabel(this);
    lblPin->setObjectName(QStringLiteral("lblPin"));
    lblPin->setWordWrap(true);
    btnClearPin = new QPushButton(this);
    btnClearPin->setObjectName(QStringLiteral("btnClearPin"));
    btnClearPin->setAutoDefault(false);
    auto* pinRow = new QHBoxLayout;
    pinRow->addWidget(lblPin, 1);
    pinRow->addWidget(btnClearPin);
    grid->addLayout(pinRow, row++, 0, 1, 2);
    connect(btnClearPin, &QPushButton::clicked, this, [this] {
        m_pinned = false;
        ShowPin();
    });

    for (QLineEdit* box : {txtConnectionName, txtDescription, txtIpAddress, txtUserName})
        box->setValidator(new LocalTextValidator(kNoSeparator, box));
    for (QLineEdit* box : {txtPassword, txtRetypePassword}) {
        box->setValidator(new LocalTextValidator(kNoLineEnd, box));
        DetailedSetup::MaskPassword(box);
    }
    // Only the digits pass, typed or pasted.
    txtPortNumber->setValidator(new QRegularExpressionValidator(kDigits, txtPortNumber));
    txtPortNumber->setText(QStringLiteral("33550"));

    auto* buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    outer->addWidget(buttons);
    connect(btnOk, &QPushButton::clicked, this, &frmDetailedSetup::btnOk_Click);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    QWidget::setTabOrder(txtConnectionName, txtDescription);
    QWidget::setTabOrder(txtDescription, txtIpAddress);
    QWidget::setTabOrder(txtIpAddress, txtPortNumber);
    QWidget::setTabOrder(txtPortNumber, txtUserName);
    QWidget::setTabOrder(txtUserName, txtPassword);
    QWidget::setTabOrder(txtPassword, txtRetypePassword);
    QWidget::setTabOrder(txtRetypePassword, chkAllowUnencrypted);
    QWidget::setTabOrder(chkAllowUnencrypted, btnClearPin);
    QWidget::setTabOrder(btnClearPin, btnOk);
    QWidget::setTabOrder(btnOk, btnCancel);

    // Load order: fonts and buttons, captions, help, the record in edit mode, then OK.
    SetFormFonts();
    ApplyLanguage();
    SetHelpContext(this, HelpFilePath(QStringLiteral("TESSORAR")),
                   HELP_CONTEXT_REMOTE_DETAILED_SETUP);

    const bool editing = g_intEditMode == EDIT_MODE_EDIT && m_recordIndex >= 0 &&
                         m_recordIndex <= g_intLastConnectionIndex;
    if (editing) {
        const ConnectionRecord& r = g_udtConnections[static_cast<size_t>(m_recordIndex)];
        SetWholeText(txtConnectionName, r.ConnectName);
        SetWholeText(txtDescription, r.Description);
        SetWholeText(txtIpAddress, r.IpAddress);
        SetWholeText(txtPortNumber, r.PortNo);
        SetWholeText(txtUserName, r.UserName);
        SetWholeText(txtPassword, r.Password);
        SetWholeText(txtRetypePassword, r.Password);
        // The name is the lookup key: editing never renames.
        DetailedSetup::LockKeyField(txtConnectionName, Qt::ClickFocus);
        const ConnectionSecurity security = LoadConnectionSecurity(r.ConnectName);
        chkAllowUnencrypted->setChecked(security.allowUnencrypted);
        m_pinned = security.pinned;
    }
    ShowPin();

    for (QLineEdit* box : {txtConnectionName, txtDescription, txtIpAddress, txtPortNumber,
                           txtUserName, txtPassword, txtRetypePassword}) {
        connect(box, &QLineEdit::textChanged, this, &frmDetailedSetup::UpdateOkButton);
        SelectAllOnFocus(box);
    }
    UpdateOkButton();
}

frmDetailedSetup::~frmDetailedSetup() = default;

void frmDetailedSetup::AddField(QLabel*& label, const char* labelName, QLineEdit*& box,
                                const char* boxName, int maxLength) {
    label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(labelName));
    box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(boxName));
    box->setMaxLength(maxLength);
    label->setBuddy(box);
}

void frmDetailedSetup::SetFormFonts() {
    DetailedSetup::SetFormFonts(this, btnOk, btnCancel);
}

void frmDetailedSetup::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("Detailed Setup"), QStringLiteral("詳細設定")));
    struct Field {
        QLabel* label;
        QLineEdit* box;
        const char16_t* captionEn;
        const char16_t* captionJa;
        const char16_t* tipEn;
        const char16_t* tipJa;
    };
    const Field fields[] = {
        {lblConnectionName, txtConnectionName, u"Connection &Name", u"接続名(&N)",
         u"Connection Name", u"接続名"},
        {lblDescription, txtDescription, u"&Description", u"説明(&D)", u"Description", u"説明"},
        {lblIpAddress, txtIpAddress, u"IP &Address", u"IPアドレス(&A)", u"IP Address",
         u"IPアドレス"},
        {lblPortNumber, txtPortNumber, u"&Port Number", u"ポート番号(&P)", u"Port Number",
         u"ポート番号"},
        {lblUserName, txtUserName, u"&User Name", u"ユーザー名(&U)", u"User Name", u"ユーザー名"},
        {lblPassword, txtPassword, u"Pa&ssword", u"パスワード(&S)", u"Password", u"パスワード"},
        {lblRetypePassword, txtRetypePassword, u"&Retype Password", u"パスワード再入力(&R)",
         u"Retype Password", u"パスワード再入力"},
    };
    for (const Field& f : fields) {
        f.label->setText(Tr(QString::fromUtf16(f.captionEn), QString::fromUtf16(f.captionJa)));
        f.box->setToolTip(Tr(QString::fromUtf16(f.tipEn), QString::fromUtf16(f.tipJa)));
    }
    DetailedSetup::ApplyButtonCaptions(btnOk, btnCancel);
    chkAllowUnencrypted->setText(Tr(QStringLiteral("Allow unencrypted calls (older hosts)"),
                                    QStringLiteral("暗号化されていない通話を許可する（古いホスト）")));
    chkAllowUnencrypted->setToolTip(
        Tr(QStringLiteral("When the host does not answer an encrypted call, call it the old way: "
                          "the password and the voice then travel in clear."),
           QStringLiteral("ホストが暗号化された通話に応答しないとき、従来の方法で接続します。"
                          "そのときパスワードと音声は平文で送られます。")));
    btnClearPin->setText(Tr(QStringLiteral("C&lear Pin"), QStringLiteral("ピンを解除(&L)")));
    ShowPin();
}

void frmDetailedSetup::ShowPin() {
    if (!lblPin)
        return;
    lblPin->setText(
        m_pinned ? Tr(QStringLiteral("Pinned: this host has answered an encrypted call, so the "
                                     "connection never falls back to an unencrypted one."),
                      QStringLiteral("ピン留め：このホストは暗号化された通話に応答したため、"
                                     "この接続が暗号化されていない通話に戻ることはありません。"))
                 : Tr(QStringLiteral("Not pinned: this host has not answered an encrypted call "
                                     "yet."),
                      QStringLiteral("ピン留めなし：このホストはまだ暗号化された通話に応答して"
                                     "いません。")));
    btnClearPin->setEnabled(m_pinned);
}

void frmDetailedSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (g_intEditMode == EDIT_MODE_EDIT)
        txtDescription->setFocus();
}

void frmDetailedSetup::UpdateOkButton() {
    btnOk->setEnabled(false);
    for (const QLineEdit* box : {txtConnectionName, txtIpAddress, txtPortNumber, txtUserName,
                                 txtPassword, txtRetypePassword})
        if (box->text().isEmpty())
            return;
    // A pasted or programmatically set port that is not a plain number never passes.
    const QString port = txtPortNumber->text();
    if (!IsDecimalNumber(port))
        return;
    const int value = port.toInt();
    if (value < 1024 || txtPassword->text() != txtRetypePassword->text() || value > 65535)
        return;
    btnOk->setEnabled(true);
}

void frmDetailedSetup::btnOk_Click() {
    // Enter reaches the default button even while it is disabled in some styles.
    if (!btnOk->isEnabled())
        return;
    // Text that is no address and no name could never be called; the field keeps what
    // was typed, brackets and all, for the operator to mend.
    if (Tavrino::ClassifyAddress(txtIpAddress->text().toStdString()) ==
        Tavrino::AddressKind::Invalid) {
        ShowWarningBox(this, AddressRefusedMessage());
        txtIpAddress->setFocus();
        return;
    }
    const QString name = g_intEditMode == EDIT_MODE_EDIT &&
                                 m_recordIndex >= 0 && m_recordIndex <= g_intLastConnectionIndex
                             ? g_udtConnections[static_cast<size_t>(m_recordIndex)].ConnectName
                             : txtConnectionName->text();
    // A new connection starts unpinned, whatever a deleted one of the same name left.
    SetAllowUnencrypted(name, chkAllowUnencrypted->isChecked());
    if (!m_pinned)
        SetPinned(name, false);
    if (g_intEditMode == EDIT_MODE_EDIT) {
        if (m_recordIndex >= 0 && m_recordIndex <= g_intLastConnectionIndex) {
            ConnectionRecord& r = g_udtConnections[static_cast<size_t>(m_recordIndex)];
            r.Description = txtDescription->text();
            r.IpAddress = txtIpAddress->text();
            r.PortNo = txtPortNumber->text();
            r.UserName = txtUserName->text();
            r.Password = txtPassword->text();
        }
    } else {
        AddConnection(ConnectionRecord{txtConnectionName->text(), txtDescription->text(),
                                       txtIpAddress->text(), txtPortNumber->text(),
                                       txtUserName->text(), txtPassword->text()});
    }
    accept();
}
