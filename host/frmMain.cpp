// SPDX-License-Identifier: GPL-3.0-or-later
// The host station's main window: online and offline, the listen port,
// call admission from the user list, the status line and the lamps.
#include "frmMain.h"

#include "HostRouterPort.h"
#include "ListenPortField.h"
#include "NamedChild.h"
#include "StartAtLogin.h"
#include "StationDesktop.h"
#include "StationSession.h"
#include "TavrinoClient.h"
#include "frmAbout.h"
#include "frmSetup.h"
#include "modConsoleLog.h"
#include "modHost.h"
#include "modHostOptions.h"
#include "modHvnIPAddress.h"
#include "modHvnRegistry.h"
#include "modMessage.h"
#include "modPictures.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Tavrino;

namespace {

constexpr int kAcceptTimeOutSeconds = 20;

QLabel* NewPeerField(QWidget* parent, const char* name) {
    auto* field = NewNamed<QLabel>(parent, name);
    field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    field->setMinimumWidth(150);
    return field;
}

} // namespace

frmMain::frmMain(QWidget* parent) : StationWindow(Station::Host, parent) {
    CreateMenus();
    mnuRunToggle->setShortcut(QKeySequence(Qt::Key_F5));
    m_routerPort = new HostRouterPort(
        mnuRun, Desktop(),
        [this]() -> std::optional<quint16> {
            if (txtListenPortNumber->isEnabled())
                return std::nullopt; // offline
            return static_cast<quint16>(txtListenPortNumber->text().toUInt());
        },
        this);
    mnuRunAcceptUnencrypted = NewNamed<QAction>(mnuRun, "mnuRunAcceptUnencrypted");
    mnuRun->addAction(mnuRunAcceptUnencrypted);
    mnuRunAcceptUnencrypted->setCheckable(true);
    connect(mnuRunAcceptUnencrypted, &QAction::triggered, this,
            &frmMain::mnuRunAcceptUnencrypted_Click);
    m_startAtLogin = new StartAtLogin(mnuRun, this);
    CreateControls();
}

frmMain::~frmMain() {
    // The port field's handlers call into it; the focus leaves the field only later,
    // while QWidget tears the window down.
    m_listenPort->DropFocusHandlers();
}

void frmMain::CreateControls() {
    CreateMainFrame(QFrame::Box | QFrame::Sunken);

    // Local settings: port, online button, reject switch.
    fraLocalSettings = NewNamed<QGroupBox>(fraMain, "fraLocalSettings");
    lblListenPortNumber = NewNamed<QLabel>(fraLocalSettings, "lblListenPortNumber");
    m_listenPort = new ListenPortField(fraLocalSettings, g_strListenPort);
    txtListenPortNumber = m_listenPort->Edit();
    lblListenPortNumber->setBuddy(txtListenPortNumber);
    chkOnline = NewNamed<QPushButton>(fraLocalSettings, "chkOnline");
    chkOnline->setCheckable(true);
    chkOnline->setMinimumSize(160, 48);
    chkRejectConnectionRequest =
        NewNamed<QCheckBox>(fraLocalSettings, "chkRejectConnectionRequest");
    auto* local = new QGridLayout(fraLocalSettings);
    local->addWidget(lblListenPortNumber, 0, 0);
    local->addWidget(txtListenPortNumber, 0, 1, Qt::AlignLeft);
    local->addWidget(chkOnline, 0, 2, 2, 1);
    local->addWidget(chkRejectConnectionRequest, 1, 0, 1, 2);
    local->setColumnStretch(1, 1);

    // The connected remote station: a caption and a field on each row.
    fraConnectedTessora_R = NewNamed<QGroupBox>(fraMain, "fraConnectedTessora_R");
    auto* peer = new QGridLayout(fraConnectedTessora_R);
    int row = 0;
    const auto addRow = [&](const char* label, const char* field, QLabel*& caption) {
        caption = NewNamed<QLabel>(fraConnectedTessora_R, label);
        QLabel* value = NewPeerField(fraConnectedTessora_R, field);
        peer->addWidget(caption, row, 0);
        peer->addWidget(value, row++, 1);
        return value;
    };
    txtUserName = addRow("lblUserName", "txtUserName", lblUserName);
    txtConnectedIpAddress = addRow("lblIpAddress", "txtConnectedIpAddress", lblIpAddress);
    txtForwardingPort =
        addRow("lblForwardingPortNumber", "txtForwardingPort", lblForwardingPortNumber);
    peer->setColumnStretch(1, 1);

    CreateLamps(fraMain,
                {LampPixmap(LampColour::Receive, true), LampPixmap(LampColour::Receive, false),
                 LampPixmap(LampColour::Transmit, true), LampPixmap(LampColour::Transmit, false)},
                Qt::Vertical);
    CreateStatusFrame(fraMain);
    m_statusLabel->setMinimumHeight(36);
    m_routerPort->AddStatusLine(fraConnectionStatus);
    CreateLogo(fraMain, 30);

    auto* middle = new QHBoxLayout;
    middle->addWidget(fraConnectedTessora_R, 1);
    middle->addWidget(fraVoIp);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(imgHalvornLogo);
    auto* column = new QVBoxLayout(fraMain);
    column->addWidget(fraLocalSettings);
    column->addLayout(middle);
    column->addWidget(fraConnectionStatus);
    column->addLayout(bottom);

    SetToggle(chkOnline);
    // The control announces no expiry of an attempt but the last one's: the host keeps
    // its own time for each, to log every guess that was never confirmed.
    tmrAdmission = NewNamed<QTimer>(this, "tmrAdmission");
    tmrAdmission->setInterval(1000);
    connect(tmrAdmission, &QTimer::timeout, this, &frmMain::LogExpiredAttempts);
    tmrAdmission->start();
    connect(chkRejectConnectionRequest, &QCheckBox::clicked, this,
            &frmMain::chkRejectConnectionRequest_Click);
}

bool frmMain::Form_Load() {
    LoadUserList();
    LoadHostSettings(g_strListenPort);
    ReadLanguageSetting();
    LoadWindow();
    m_listenPort->ShowPort(g_strListenPort);
    if (!m_session->Load()) {
        // Also on stderr, for hosts that run unattended.
        qWarning("TESSORA-H: cannot load the voice control: %s",
                 qPrintable(TavrinoStandard->LoadError()));
        ShowErrorBox(this,
                     Tr(QStringLiteral("The voice control \"%1\" could not be loaded.\r\n%2"),
                        QStringLiteral("音声コントロール「%1」を読み込めませんでした。\r\n%2"))
                         .arg(QString::fromLatin1(kPluginFileName), TavrinoStandard->LoadError()));
        return false;
    }
    StartLamps();
    m_routerPort->LoadOption();
    mnuRunAcceptUnencrypted->setChecked(AcceptUnencryptedCallsOption());
    m_admission.CurrentPolicy().acceptUnencrypted = mnuRunAcceptUnencrypted->isChecked();
    m_admission.CurrentPolicy().pinnedUsers = PinnedUsers();
    m_admission.CurrentPolicy().homes = HomeAddresses();
    return true;
}

void frmMain::RefuseUnencryptedCalls() {
    m_refuseUnencryptedForRun = true;
    mnuRunAcceptUnencrypted->setChecked(false);
    mnuRunAcceptUnencrypted->setEnabled(false); // the command line decides for this run
    m_admission.CurrentPolicy().acceptUnencrypted = false;
}

void frmMain::mnuRunAcceptUnencrypted_Click() {
    const bool on = mnuRunAcceptUnencrypted->isChecked() && !m_refuseUnencryptedForRun;
    m_admission.CurrentPolicy().acceptUnencrypted = on;
    SetAcceptUnencryptedCallsOption(on);
}

void frmMain::StartOnline() {
    if (!chkOnline->isChecked())
        chkOnline->click();
}

void frmMain::ApplyLanguage() {
    StationWindow::ApplyLanguage();
    m_routerPort->ApplyLanguage();
    mnuRunAcceptUnencrypted->setText(Tr(QStringLiteral("Accept Unencrypted Calls"),
                                        QStringLiteral("暗号化されていない通話を受け付ける")));
    m_startAtLogin->ApplyLanguage();
    fraLocalSettings->setTitle(
        Tr(QStringLiteral("Local Settings"), QStringLiteral("ローカル設定")));
    lblListenPortNumber->setText(
        Tr(QStringLiteral("&Listen Port Number:"), QStringLiteral("リッスン・ポート番号(&L):")));
    m_listenPort->ApplyLanguage();
    fraConnectedTessora_R->setTitle(
        Tr(QStringLiteral("Connected TESSORA-R"), QStringLiteral("接続しているTESSORA-R")));
    lblUserName->setText(Tr(QStringLiteral("User Name:"), QStringLiteral("ユーザー名:")));
    lblIpAddress->setText(Tr(QStringLiteral("IP Address:"), QStringLiteral("IPアドレス:")));
    lblForwardingPortNumber->setText(
        Tr(QStringLiteral("Forwarding Port Number:"), QStringLiteral("転送先ポート番号:")));
    chkRejectConnectionRequest->setText(
        Tr(QStringLiteral("Reject &Connection Request"), QStringLiteral("接続要求を拒否する(&C)")));
    chkRejectConnectionRequest->setToolTip(
        Tr(QStringLiteral("Reject Connection Request"), QStringLiteral("接続要求を拒否する")));
}

void frmMain::chkOnline_Click(bool checked) {
    if (checked) {
        if (g_intUserCount < 1) {
            ShowErrorBox(this,
                         Tr(QStringLiteral("No user is registered.\r\nPlease register a user."),
                            QStringLiteral("ユーザーが登録されていません。\r\n"
                                           "ユーザーを登録してください。")));
            chkOnline->setChecked(false);
            return;
        }
        if (!GoOnline()) {
            chkOnline->setChecked(false);
            return;
        }
        m_session->Started();
        SetOnlineState(1);
        ConsoleLog(QStringLiteral("online on port %1").arg(txtListenPortNumber->text()));
        ShowToggleState(true);
        chkRejectConnectionRequest_Click();
        m_routerPort->Open();
        return;
    }

    HangUp();
    SetOnlineState(2);
    ShowToggleState(false);
    chkRejectConnectionRequest->setEnabled(true);
    TavrinoStandard->CallVoid(DISPID_DISABLE_BUSY_STATE);
}

bool frmMain::CallStands() const {
    return !txtConnectedIpAddress->text().isEmpty(); // a caller's address shows
}

QString frmMain::CallPeerName() const {
    return txtUserName->text();
}

void frmMain::ReopenAudioDevices() {
    // Online without a call the devices are open but idle: they take the new choice now.
    if (!chkOnline->isChecked())
        return;
    TavrinoStandard->CallVoid(DISPID_UNINITIALIZE);
    if (!GoOnline()) {
        chkOnline->setChecked(false); // runs the offline branch
        return;
    }
    chkRejectConnectionRequest_Click();
}

bool frmMain::GoOnline() {
    const int port = m_listenPort->PortToGoOnline();
    return port > 0 && m_session->Initialize(port);
}

void frmMain::SetOnlineState(int state) {
    if (state == 1) {
        txtListenPortNumber->setEnabled(false);
    } else if (state == 2) {
        txtListenPortNumber->setEnabled(true);
        txtUserName->clear();
        txtConnectedIpAddress->clear();
        txtForwardingPort->clear();
    }
}

void frmMain::chkRejectConnectionRequest_Click() {
    TavrinoStandard->CallVoid(chkRejectConnectionRequest->isChecked()
                                  ? DISPID_ENABLE_NOT_AVAILABLE_STATE
                                  : DISPID_DISABLE_NOT_AVAILABLE_STATE);
}

void frmMain::ResetPeer() {
    txtUserName->clear();
    txtConnectedIpAddress->clear();
    txtForwardingPort->clear();
    chkRejectConnectionRequest->setEnabled(true);
    TavrinoStandard->CallVoid(DISPID_DISABLE_BUSY_STATE);
}

void frmMain::TavrinoStandard_OnStatusEvent(qint32 statusCode) {
    ShowStatus(statusCode);
    LogExpiredAttempts();
    if (statusCode == STATUS_CONNECTED)
        ShowConnectedCaller();
    else if (statusCode != STATUS_CALLING)
        ResetPeer();
}

void frmMain::ShowCaller(const QString& ip, qint32 port, const QString& userName) {
    txtConnectedIpAddress->setText(ip);
    txtForwardingPort->setText(QString::number(port));
    txtUserName->setText(userName);
    chkRejectConnectionRequest->setEnabled(false);
    TavrinoStandard->CallVoid(DISPID_ENABLE_BUSY_STATE);
}

void frmMain::ShowConnectedCaller() {
    // The control knows who confirmed: with encrypted attempts under way, the call goes
    // to whoever proves the password first.
    const QString ip = TavrinoStandard->CallString(DISPID_GET_PEER_ADDRESS);
    const qint32 port = TavrinoStandard->CallLong(DISPID_GET_PEER_PORT);
    const CallAdmission::Caller caller =
        m_admission.Connected(ip, port, TavrinoStandard->CallString(DISPID_GET_CONFIRMED_USER));
    for (const QString& line : caller.log)
        ConsoleLog(line);
    if (!caller.known)
        return; // the labels of a stated acceptance stay as they are
    if (caller.policyChanged) {
        SavePinnedUsers(m_admission.CurrentPolicy().pinnedUsers);
        SaveHomeAddresses(m_admission.CurrentPolicy().homes);
    }
    ShowCaller(ip, port, caller.userName);
}

void frmMain::LogExpiredAttempts() {
    for (const QString& line : m_admission.Expire())
        ConsoleLog(line);
}

void frmMain::TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                                const QString& userData) {
    const bool secure =
        TavrinoStandard->CallLong(DISPID_GET_REQUEST_SECURITY, {ip, port}) == SECURITY_ENCRYPTED;
    CallAdmission::Decision decision = m_admission.Decide(ip, port, userData, secure);
    bool accepted = false;
    switch (decision.action) {
    case CallAdmission::Action::Ignore:
        break;
    case CallAdmission::Action::Refuse:
        if (TavrinoStandard->CallBool(DISPID_CANCEL_INCOMING_CALL, {ip, port})) {
            txtConnectedIpAddress->clear();
            txtForwardingPort->clear();
        } else {
            m_session->ShowObjectError();
        }
        break;
    case CallAdmission::Action::AcceptSecure:
        // Nothing shows yet and the host stays free for others: this may be a guess.
        accepted = TavrinoStandard->CallBool(DISPID_ACCEPT_SECURE_CALL,
                                             {ip, port, decision.password, kAcceptTimeOutSeconds});
        break;
    case CallAdmission::Action::AcceptStated:
        accepted = TavrinoStandard->CallBool(DISPID_ACCEPT_INCOMING_CALL,
                                             {ip, port, kAcceptTimeOutSeconds});
        if (accepted)
            ShowCaller(ip, port, decision.userName);
        break;
    }
    const bool accepting = decision.action == CallAdmission::Action::AcceptSecure ||
                           decision.action == CallAdmission::Action::AcceptStated;
    if (accepting && accepted)
        m_admission.Accepted(decision, ip, port, kAcceptTimeOutSeconds);
    else if (accepting)
        m_session->ShowObjectError();
    for (const QString& line : decision.log)
        ConsoleLog(line);
    if (decision.addressBlocked)
        Desktop()->AddressBlocked(ip, static_cast<int>(m_admission.AddressLimits().blockMs / 1000),
                                  m_admission.AddressLimits().failures);
}

void frmMain::mnuFileSetup_Click() {
    frmSetup setup(this);
    setup.exec();
}

AboutInfo frmMain::StationAboutInfo() const {
    AboutInfo info = HostAboutInfo(m_helpFile);
    // Remotes on the Internet call the router's public address while the port stands open,
    // and the address the router's pinhole lets them reach, which may not be the first.
    info.localAddress = [this] {
        const QString address = m_routerPort->PublicAddress();
        return address.isEmpty() ? GetLocalIPAddress() : address;
    };
    info.globalIpv6Address = [this] {
        const QString address = m_routerPort->PinholeAddress();
        return address.isEmpty() ? GetGlobalIPv6Address() : address;
    };
    return info;
}

void frmMain::HangUp() {
    m_routerPort->Stop();
    StationWindow::HangUp();
}

void frmMain::SaveStationFiles() {
    // Both files are written even if the first fails; each failure is reported over the
    // window in front, and the old files stay whole.
    ShowStoreFailure(QApplication::activeWindow(), SaveUserList());
    g_strListenPort = txtListenPortNumber->text();
    ShowStoreFailure(QApplication::activeWindow(), SaveHostSettings(g_strListenPort));
}
