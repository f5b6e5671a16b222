// SPDX-License-Identifier: GPL-3.0-or-later
// Main window of the remote station: choose a stored connection, call the host, show the
// outcome and the activity lamps.
#include "frmMain.h"

#include "NamedChild.h"
#include "StationSession.h"
#include "TavrinoClient.h"
#include "frmAbout.h"
#include "frmSetup.h"
#include "modAccessibility.h"
#include "modConnectionSecurity.h"
#include "modControlCommon.h"
#include "modHvnRegistry.h"
#include "modMessage.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

bool g_blnConnectionActive = false;

namespace {

using namespace Tavrino;

constexpr int kConnectTimeoutSeconds = 20;

bool EndsTheCall(qint32 code) {
    switch (code) {
    case STATUS_TIMEOUT:
    case STATUS_CONNECTION_LOST:
    case STATUS_REMOTE_DISCONNECTED:
    case STATUS_REMOTE_BUSY:
    case STATUS_REMOTE_NOT_AVAILABLE:
    case STATUS_CALL_REJECTED:
    case STATUS_ENCRYPTED_DATA:
        return true;
    default:
        return false;
    }
}

} // namespace

frmMain::frmMain(const QString& controlPath, QWidget* parent)
    : StationWindow(Station::Remote, parent), m_controlPath(controlPath) {
    CreateControls();
    CreateMenus();
}

frmMain::~frmMain() = default;

// The lamp pictures live in a static library, whose resources the linker keeps only when
// something names their initialiser; outside any namespace, as the macro requires.
static void LoadLampPictures() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(remote);
        return true;
    }();
    (void)loaded;
}

void frmMain::CreateControls() {
    LoadLampPictures();

    CreateMainFrame(QFrame::StyledPanel);

    fraConnectionSettings = NewNamed<QGroupBox>(fraMain, "fraConnectionSettings");
    lblConnectionName = NewNamed<QLabel>(fraConnectionSettings, "lblConnectionName");
    cboConnectionName = NewNamed<QComboBox>(fraConnectionSettings, "cboConnectionName");
    cboConnectionName->setMinimumWidth(200);
    lblConnectionName->setBuddy(cboConnectionName);
    lblPortNumber = NewNamed<QLabel>(fraConnectionSettings, "lblPortNumber");
    txtPortNumber = NewNamed<QLabel>(fraConnectionSettings, "txtPortNumber");
    chkConnect = NewNamed<QPushButton>(fraConnectionSettings, "chkConnect");
    chkConnect->setCheckable(true);
    chkConnect->setMinimumSize(150, 56);
    auto* settingsGrid = new QGridLayout(fraConnectionSettings);
    settingsGrid->addWidget(lblConnectionName, 0, 0);
    settingsGrid->addWidget(cboConnectionName, 0, 1);
    settingsGrid->addWidget(lblPortNumber, 1, 0);
    settingsGrid->addWidget(txtPortNumber, 1, 1);
    settingsGrid->addWidget(chkConnect, 0, 2, 2, 1);
    settingsGrid->setColumnStretch(1, 1);

    CreateStatusFrame(fraMain);
    m_statusLabel->setMinimumHeight(24);

    const QPixmap dark(QStringLiteral(":/remote/lamp-dark.png"));
    CreateLamps(fraMain,
                {QPixmap(QStringLiteral(":/remote/lamp-rx.png")), dark,
                 QPixmap(QStringLiteral(":/remote/lamp-tx.png")), dark},
                Qt::Horizontal);

    CreateLogo(fraMain, 28);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fraVoIp);
    bottom->addStretch();
    bottom->addWidget(imgHalvornLogo, 0, Qt::AlignBottom | Qt::AlignRight);
    auto* mainLayout = new QVBoxLayout(fraMain);
    mainLayout->addWidget(fraConnectionSettings);
    mainLayout->addWidget(fraConnectionStatus);
    mainLayout->addLayout(bottom);

    SetToggle(chkConnect);
}

bool frmMain::Form_Load() {
    if (!m_session->Load(m_controlPath))
        std::fprintf(stderr, "TESSORA-R: the voice control could not be loaded: %s\n",
                     qPrintable(TavrinoStandard->LoadError()));
    LoadConnectionList();
    LoadSelectItem();
    ReadLanguageSetting();
    LoadWindow();
    SetConnectionControls(true);
    FillConnectionNames();
    cboConnectionName->setCurrentIndex(g_strSelectItem.isEmpty() ? -1
                                                                 : FindConnection(g_strSelectItem));
    StartLamps();
    return true;
}

void frmMain::ApplyLanguage() {
    StationWindow::ApplyLanguage();
    fraConnectionSettings->setTitle(
        Tr(QStringLiteral("Connection Settings"), QStringLiteral("接続設定")));
    lblConnectionName->setText(
        Tr(QStringLiteral("Connection &Name:"), QStringLiteral("接続名(&N)：")));
    cboConnectionName->setToolTip(Tr(QStringLiteral("Connection Name"), QStringLiteral("接続名")));
    NameForReaders(cboConnectionName, cboConnectionName->toolTip());
    lblPortNumber->setText(Tr(QStringLiteral("Port Number:"), QStringLiteral("ポート番号：")));
}

void frmMain::FillConnectionNames() {
    cboConnectionName->clear();
    for (int i = 0; i <= g_intLastConnectionIndex; ++i)
        cboConnectionName->addItem(g_udtConnections[static_cast<size_t>(i)].ConnectName);
    cboConnectionName->setCurrentIndex(-1);
}

void frmMain::SetConnectionControls(bool idle) {
    cboConnectionName->setEnabled(idle);
    txtPortNumber->setEnabled(idle);
}

bool frmMain::IsConnectionSelected() const {
    return cboConnectionName->currentIndex() >= 0;
}

bool frmMain::OpenConnection() {
    if (!IsConnectionSelected()) {
        ShowErrorBox(this, Tr(QStringLiteral("Please select Connection Name."),
                              QStringLiteral("接続名を選択してください。")));
        return false;
    }
    const ConnectionRecord record =
        g_udtConnections[static_cast<size_t>(cboConnectionName->currentIndex())];
    txtPortNumber->setText(record.PortNo);
    const qint32 port = record.PortNo.toInt();
    // Encrypted always; the stated request, with the password in clear, only where the
    // operator allows it for a host that never answered an encrypted call.
    const QString fallback =
        FallbackUserData(LoadConnectionSecurity(record.ConnectName), m_allowUnencryptedForRun,
                         record.UserName, record.Password);

    // The remote listens on the same port number as the host port it calls.
    if (!m_session->Initialize(port))
        return false;
    if (!TavrinoStandard->CallBool(DISPID_CONNECT_SECURE,
                                   {record.IpAddress, port, record.UserName, record.Password,
                                    kConnectTimeoutSeconds, fallback})) {
        m_session->ShowObjectError();
        return false;
    }
    m_callingName = record.ConnectName;
    m_secureOutcome = SECURE_OUTCOME_NONE;
    return true;
}

void frmMain::chkConnect_Click(bool checked) {
    if (checked) {
        if (OpenConnection()) {
            ShowToggleState(true);
            SetConnectionControls(false);
            g_blnConnectionActive = true;
            m_session->Started();
        } else {
            chkConnect->setChecked(false); // runs the unchecked branch
        }
        return;
    }
    ShowToggleState(false);
    HangUp();
    SetConnectionControls(true);
    // A call ended by a status keeps its status line: the handler cleared the flag first.
    if (g_blnConnectionActive) {
        m_statusLabel->clear();
        txtPortNumber->clear();
    }
}

void frmMain::TavrinoStandard_OnStatusEvent(qint32 statusCode) {
    // Read before the control is torn down below.
    m_secureOutcome = TavrinoStandard->CallLong(DISPID_GET_SECURE_OUTCOME);
    // Any answer to an encrypted request, accepted or not, proves the host speaks the
    // protocol: this connection never falls back again, so a later call's requests
    // cannot be dropped to force the password into the clear.
    const bool hostAnswered = m_secureOutcome == SECURE_OUTCOME_CONNECTED ||
                              m_secureOutcome == SECURE_OUTCOME_PASSWORD_REFUSED ||
                              m_secureOutcome == SECURE_OUTCOME_REFUSED;
    if (hostAnswered && !m_callingName.isEmpty() && !LoadConnectionSecurity(m_callingName).pinned)
        SetPinned(m_callingName, true);
    if (EndsTheCall(statusCode)) {
        g_blnConnectionActive = false;
        chkConnect->setChecked(false);
    }
    ShowStatus(statusCode);
}

QString frmMain::StatusBox(qint32 statusCode) const {
    const QString box = SecureOutcomeBoxText(statusCode, m_secureOutcome);
    return box.isEmpty() ? StationWindow::StatusBox(statusCode) : box;
}

void frmMain::TavrinoStandard_OnConnectionEvent(const QString& ip, qint32 port,
                                                const QString& /*userData*/) {
    // The remote station never takes calls.
    if (!TavrinoStandard->CallBool(DISPID_CANCEL_INCOMING_CALL, {ip, port}))
        m_session->ShowObjectError();
}

void frmMain::mnuFileSetup_Click() {
    const QString selected = IsConnectionSelected() ? cboConnectionName->currentText() : QString();
    {
        frmSetup setup(this);
        setup.exec();
    }
    FillConnectionNames();
    cboConnectionName->setCurrentIndex(FindConnection(selected));
}

AboutInfo frmMain::StationAboutInfo() const {
    return RemoteAboutInfo(m_helpFile);
}

bool frmMain::ConnectTo(const QString& name) {
    const int index = FindConnection(name);
    if (index < 0)
        return false;
    cboConnectionName->setCurrentIndex(index);
    chkConnect->setChecked(true);
    return true;
}

QString frmMain::CallPeerName() const {
    return cboConnectionName->currentText();
}

void frmMain::SaveStationFiles() {
    // Boxes of their own, centred on the screen, as the store's reports always were.
    ShowStoreFailure(nullptr, SaveConnectionList());
    g_strSelectItem = cboConnectionName->currentText();
    ShowStoreFailure(nullptr, SaveSelectItem());
}
