// SPDX-License-Identifier: GPL-3.0-or-later
// The host station's main window: online and offline, the listen port,
// call admission from the user list, the status line and the lamps.
#include "frmMain.h"

#include "CPortMapper.h"
#include "StartAtLogin.h"
#include "StationDesktop.h"
#include "StationImages.h"
#include "TavrinoClient.h"
#include "frmAbout.h"
#include "frmSetup.h"
#include "modAccessibility.h"
#include "modConsoleLog.h"
#include "modFormCommon.h"
#include "modHost.h"
#include "modHostOptions.h"
#include "modHvnIPAddress.h"
#include "modHvnRegistry.h"
#include "modMessage.h"
#include "modPictures.h"
#include "modRouterPort.h"
#include "modStationEnvironment.h"
#include "modUserData.h"

#include "NetAddress.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Tavrino;

namespace {

const QString kDefaultListenPort = QStringLiteral("33550");
constexpr int kAcceptTimeOutSeconds = 20;
constexpr int kMinListenPort = 1024;
constexpr int kMaxListenPort = 65535;

QString PortRangeMessage() {
    return Tr(QStringLiteral("Please set the listen port number in 1024-65535 ranges."),
              QStringLiteral("リッスン・ポート番号は1024-65535の範囲で設定してください。"));
}

// The port text as a number, or -1 when it is not one made of digits only.
int PortNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return -1;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    return text.toInt();
}

QLabel* NewPeerField(QWidget* parent, const char* name) {
    auto* field = new QLabel(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    field->setTextInteractionFlags(Qt::TextSelectableByMouse);
    field->setMinimumWidth(150);
    return field;
}

StationWindow::Profile HostProfile() {
    return {Station::Host,
            QStringLiteral("TESSORAH"),
            QStringLiteral("TESSORA-H"),
            QStringLiteral("VoIP Program (for Host Station)"),
            "mnuRunOnline",
            "tmrMessage",
            "lblConnectionStatus",
            {{QStringLiteral("&Online"), QStringLiteral("オンライン(&O)")},
             {QStringLiteral("Click to Online"), QStringLiteral("オンラインはここをクリック")}},
            {{QStringLiteral("&Offline"), QStringLiteral("オフライン(&O)")},
             {QStringLiteral("Click to Offline"), QStringLiteral("オフラインはここをクリック")}}};
}

} // namespace

frmMain::frmMain(QWidget* parent) : StationWindow(HostProfile(), parent) {
    CreateMenus();
    mnuRunToggle->setShortcut(QKeySequence(Qt::Key_F5));
    mnuRunRouterPort = mnuRun->addAction(QString());
    mnuRunRouterPort->setObjectName(QStringLiteral("mnuRunRouterPort"));
    mnuRunRouterPort->setCheckable(true);
    connect(mnuRunRouterPort, &QAction::triggered, this, &frmMain::mnuRunRouterPort_Click);
    mnuRunAcceptUnencrypted = mnuRun->addAction(QString());
    mnuRunAcceptUnencrypted->setObjectName(QStringLiteral("mnuRunAcceptUnencrypted"));
    mnuRunAcceptUnencrypted->setCheckable(true);
    connect(mnuRunAcceptUnencrypted, &QAction::triggered, this,
            &frmMain::mnuRunAcceptUnencrypted_Click);
    m_startAtLogin = new StartAtLogin(mnuRun, this);
    CreateControls();
}

frmMain::~frmMain() {
    // The port field's handlers call into this window; the focus leaves the field only
    // later, while QWidget tears the window down.
    DropFocusHandlers(txtListenPortNumber);
}

void frmMain::CreateControls() {
    fraMain = new QFrame(this);
    fraMain->setObjectName(QStringLiteral("fraMain"));
    fraMain->setFrameStyle(QFrame::Box | QFrame::Sunken);
    setCentralWidget(fraMain);

    // Local settings: port, online button, reject switch.
    fraLocalSettings = new QGroupBox(fraMain);
    fraLocalSettings->setObjectName(QStringLiteral("fraLocalSettings"));
    lblListenPortNumber = new QLabel(fraLocalSettings);
    lblListenPortNumber->setObjectName(QStringLiteral("lblListenPortNumber"));
    txtListenPortNumber = new QLineEdit(kDefaultListenPort, fraLocalSettings);
    txtListenPortNumber->setObjectName(QStringLiteral("txtListenPortNumber"));
    txtListenPortNumber->setMaxLength(5);
    txtListenPortNumber->setFixedWidth(80);
    lblListenPortNumber->setBuddy(txtListenPortNumber);
    chkOnline = new QPushButton(fraLocalSettings);
    chkOnline->setObjectName(QStringLiteral("chkOnline"));
    chkOnline->setCheckable(true);
    chkOnline->setMinimumSize(160, 48);
    chkRejectConnectionRequest = new QCheckBox(fraLocalSettings);
    chkRejectConnectionRequest->setObjectName(QStringLiteral("chkRejectConnectionRequest"));
    {
        auto* grid = new QGridLayout(fraLocalSettings);
        grid->addWidget(lblListenPortNumber, 0, 0);
        grid->addWidget(txtListenPortNumber, 0, 1, Qt::AlignLeft);
        grid->addWidget(chkOnline, 0, 2, 2, 1);
        grid->addWidget(chkRejectConnectionRequest, 1, 0, 1, 2);
        grid->setColumnStretch(1, 1);
    }

    // The connected remote station.
    fraConnectedTessora_R = new QGroupBox(fraMain);
    fraConnectedTessora_R->setObjectName(QStringLiteral("fraConnectedTessora_R"));
    lblUserName = new QLabel(fraConnectedTessora_R);
    lblUserName->setObjectName(QStringLiteral("lblUserName"));
    txtUserName = NewPeerField(fraConnectedTessora_R, "txtUserName");
    lblIpAddress = new QLabel(fraConnectedTessora_R);
    lblIpAddress->setObjectName(QStringLiteral("lblIpAddress"));
    txtConnectedIpAddress = NewPeerField(fraConnectedTessora_R, "txtConnectedIpAddress");
    lblForwardingPortNumber = new QLabel(fraConnectedTessora_R);
    lblForwardingPortNumber->setObjectName(QStringLiteral("lblForwardingPortNumber"));
    txtForwardingPort = NewPeerField(fraConnectedTessora_R, "txtForwardingPort");
    {
        auto* grid = new QGridLayout(fraConnectedTessora_R);
        grid->addWidget(lblUserName, 0, 0);
        grid->addWidget(txtUserName, 0, 1);
        grid->addWidget(lblIpAddress, 1, 0);
        grid->addWidget(txtConnectedIpAddress, 1, 1);
        grid->addWidget(lblForwardingPortNumber, 2, 0);
        grid->addWidget(txtForwardingPort, 2, 1);
        grid->setColumnStretch(1, 1);
    }

    CreateLamps(fraMain,
                {LampPixmap(LampColour::Receive, true), LampPixmap(LampColour::Receive, false),
                 LampPixmap(LampColour::Transmit, true), LampPixmap(LampColour::Transmit, false)},
                Qt::Vertical);

    CreateStatusFrame(fraMain);
    m_statusLabel->setMinimumHeight(36);
    // The router's port on a line of its own, so call statuses never hide it.
    lblRouterStatus = new QLabel(fraConnectionStatus);
    lblRouterStatus->setObjectName(QStringLiteral("lblRouterStatus"));
    lblRouterStatus->setWordWrap(true);
    lblRouterStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fraConnectionStatus->layout()->addWidget(lblRouterStatus);

    imgHalvornLogo = new QLabel(fraMain);
    imgHalvornLogo->setObjectName(QStringLiteral("imgHalvornLogo"));
    imgHalvornLogo->setPixmap(HalvornLogo(30));

    {
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
    }

    SetToggle(chkOnline);
    // The control announces no expiry of an attempt but the last one's: the host keeps
    // its own time for each, to log every guess that was never confirmed.
    tmrAdmission = new QTimer(this);
    tmrAdmission->setObjectName(QStringLiteral("tmrAdmission"));
    tmrAdmission->setInterval(1000);
    connect(tmrAdmission, &QTimer::timeout, this, &frmMain::LogExpiredAttempts);
    tmrAdmission->start();
    connect(chkRejectConnectionRequest, &QCheckBox::clicked, this,
            &frmMain::chkRejectConnectionRequest_Click);

    txtListenPortNumber->installEventFilter(this);
    SelectAllOnFocus(txtListenPortNumber);
    OnGotFocus(txtListenPortNumber, [this] { txtListenPortNumber_GotFocus(); });
    OnLostFocus(txtListenPortNumber, [this] { txtListenPortNumber_LostFocus(); });
}

bool frmMain::Form_Load() {
    LoadUserList();
    LoadHostSettings(g_strListenPort);
    ReadLanguageSetting();
    LoadWindow();
    txtListenPortNumber->setText(g_strListenPort.isEmpty() ? kDefaultListenPort : g_strListenPort);
    if (!LoadControl()) {
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
    mnuRunRouterPort->setChecked(RouterPortOptionOn());
    mnuRunRouterPort->setEnabled(RouterPortAllowedByEnvironment());
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
    mnuRunRouterPort->setText(Tr(QStringLiteral("Open the Port on the Router by &UPnP"),
                                 QStringLiteral("UPnPでルーターのポートを開く(&U)")));
    mnuRunAcceptUnencrypted->setText(Tr(QStringLiteral("Accept Unencrypted Calls"),
                                        QStringLiteral("暗号化されていない通話を受け付ける")));
    m_startAtLogin->ApplyLanguage();
    fraLocalSettings->setTitle(
        Tr(QStringLiteral("Local Settings"), QStringLiteral("ローカル設定")));
    lblListenPortNumber->setText(
        Tr(QStringLiteral("&Listen Port Number:"), QStringLiteral("リッスン・ポート番号(&L):")));
    txtListenPortNumber->setToolTip(
        Tr(QStringLiteral("Listen Port Number"), QStringLiteral("リッスン・ポート番号")));
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
    DescribeLogo(imgHalvornLogo);
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
        SessionStarted();
        SetOnlineState(1);
        ConsoleLog(QStringLiteral("online on port %1").arg(txtListenPortNumber->text()));
        ShowToggleState(true);
        chkRejectConnectionRequest_Click();
        OpenRouterPort();
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
    // The field may hold pasted text, or a value that never passed its
    // leave-check when F5 is pressed inside it: refuse it as the check would.
    const int port = PortNumber(txtListenPortNumber->text());
    if (port < kMinListenPort || port > kMaxListenPort) {
        ShowErrorBox(this, PortRangeMessage());
        if (!g_strListenPort.isEmpty())
            txtListenPortNumber->setText(g_strListenPort);
        return false;
    }
    return InitializeControl(port);
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

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtListenPortNumber && event->type() == QEvent::KeyPress) {
        // Only digits and backspace may type into the port; keys that type
        // nothing (arrows, Delete, Tab, function keys) keep their work.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty() || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
            key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        const bool digit =
            text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9');
        return !digit;
    }
    return StationWindow::eventFilter(watched, event);
}

void frmMain::txtListenPortNumber_GotFocus() {
    // Select-all is installed with the field; here the fallback is noted.
    g_strListenPort = txtListenPortNumber->text();
}

void frmMain::txtListenPortNumber_LostFocus() {
    const QString text = txtListenPortNumber->text();
    const int port = text.isEmpty() ? 0 : PortNumber(text);
    if (port < kMinListenPort || port > kMaxListenPort) {
        ShowErrorBox(this, PortRangeMessage());
        txtListenPortNumber->setText(g_strListenPort);
    }
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
    txtConnectedIpAddress->setText(ip);
    txtForwardingPort->setText(QString::number(port));
    txtUserName->setText(caller.userName);
    chkRejectConnectionRequest->setEnabled(false);
    TavrinoStandard->CallVoid(DISPID_ENABLE_BUSY_STATE);
}

void frmMain::LogExpiredAttempts() {
    for (const QString& line : m_admission.Expire())
        ConsoleLog(line);
}

void frmMain::TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                                const QString& userData) {
    const bool secure = TavrinoStandard->CallLong(DISPID_GET_REQUEST_SECURITY, {ip, port}) ==
                        SECURITY_ENCRYPTED;
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
            ShowObjectError();
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
        if (accepted) {
            txtConnectedIpAddress->setText(ip);
            txtForwardingPort->setText(QString::number(port));
            txtUserName->setText(decision.userName);
            chkRejectConnectionRequest->setEnabled(false);
            TavrinoStandard->CallVoid(DISPID_ENABLE_BUSY_STATE);
        }
        break;
    }
    const bool accepting = decision.action == CallAdmission::Action::AcceptSecure ||
                           decision.action == CallAdmission::Action::AcceptStated;
    if (accepting && accepted)
        m_admission.Accepted(decision, ip, port, kAcceptTimeOutSeconds);
    else if (accepting)
        ShowObjectError();
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
    // Remotes on the Internet call the router's public address while the port stands open.
    info.localAddress = [this] {
        const QString address = m_router ? m_router->PublicAddress() : QString();
        return address.isEmpty() ? GetLocalIPAddress() : address;
    };
    // And the address the router's pinhole lets them reach, which may not be the first.
    info.globalIpv6Address = [this] {
        const QString address = m_router ? m_router->PinholeAddress() : QString();
        return address.isEmpty() ? GetGlobalIPv6Address() : address;
    };
    return info;
}

void frmMain::HangUp() {
    // Removed by the mapper's worker; its destructor waits a bounded time for it.
    if (m_router)
        m_router->Stop();
    StationWindow::HangUp();
}

void frmMain::SaveStationFiles() {
    // Both files are written even if the first fails; each failure is reported over the
    // window in front, and the old files stay whole.
    ShowStoreFailure(QApplication::activeWindow(), SaveUserList());
    g_strListenPort = txtListenPortNumber->text();
    ShowStoreFailure(QApplication::activeWindow(), SaveHostSettings(g_strListenPort));
}

void frmMain::OpenRouterPort() {
    if (!mnuRunRouterPort->isChecked() || !RouterPortAllowedByEnvironment() ||
        txtListenPortNumber->isEnabled())
        return;
    if (!m_router) {
        m_router = NewRouterPortMapper();
        connect(m_router.get(), &CPortMapper::Changed, this, &frmMain::RouterPort_Changed);
    }
    m_router->Start(static_cast<quint16>(txtListenPortNumber->text().toUInt()));
}

void frmMain::mnuRunRouterPort_Click() {
    SetRouterPortOption(mnuRunRouterPort->isChecked());
    if (mnuRunRouterPort->isChecked())
        OpenRouterPort();
    else if (m_router)
        m_router->Stop();
}

void frmMain::RouterPort_Changed(const PortMapReport& report) {
    const QStringList before = lblRouterStatus->text().split(QLatin1Char('\n'));
    const QString text = RouterPortText(report);
    lblRouterStatus->setText(text);
    // The forwarding's and the pinhole's lines are logged as each changes.
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!before.contains(line))
            ConsoleLog(QStringLiteral("router: ") + line);
    if (report.state == PortMapReport::State::Refused || report.state == PortMapReport::State::Taken)
        Desktop()->RouterRefused(text);
}
