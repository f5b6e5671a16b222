// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: program, version, the computer's own address, rights.
#include "frmAbout.h"

#include "StationImages.h"
#include "modAccessibility.h"
#include "modFormCommon.h"
#include "modHelpConst.h"
#include "modHvnFileOperation.h"
#include "modHvnIPAddress.h"
#include "modHvnRegistry.h"

#include <QFrame>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

AboutInfo HostAboutInfo(const QString& helpFile) {
    AboutInfo info;
    info.programTitle = QStringLiteral("TESSORA-H");
    info.modelLine = QStringLiteral("VoIP Program (for Host Station)");
    info.helpFile = helpFile;
    info.helpContext = HELP_CONTEXT_HOST_ABOUT;
    info.versionMajor = 1;
    info.versionMinor = 0;
    info.programBase = QStringLiteral("TESSORAH");
    return info;
}

AboutInfo RemoteAboutInfo(const QString& helpFile) {
    AboutInfo info;
    info.programTitle = QStringLiteral("TESSORA-R");
    info.modelLine = QStringLiteral("VoIP Program (for Remote Station)");
    info.helpFile = helpFile;
    info.helpContext = HELP_CONTEXT_REMOTE_ABOUT;
    info.versionMajor = 1;
    info.versionMinor = 0;
    info.programBase = QStringLiteral("TESSORAR");
    return info;
}

QString FormatVersion(int major, int minor) {
    return QStringLiteral("Version %1.%2").arg(major).arg(minor, 2, 10, QLatin1Char('0'));
}

frmAbout::frmAbout(const AboutInfo& info, QWidget* parent) : QDialog(parent), m_info(info) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setPixmap(StationIcon(m_info.programBase).pixmap(48, 48));
    imgIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    lblModelName = new QLabel(this);
    lblModelName->setObjectName(QStringLiteral("lblModelName"));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblIpAddress = new QLabel(this);
    lblIpAddress->setObjectName(QStringLiteral("lblIpAddress"));
    // The operator reads this out or copies it for the other station.
    lblIpAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblIpv6Address = new QLabel(this);
    lblIpv6Address->setObjectName(QStringLiteral("lblIpv6Address"));
    lblIpv6Address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    linLine = new QFrame(this);
    linLine->setObjectName(QStringLiteral("linLine"));
    linLine->setFrameShape(QFrame::HLine);
    linLine->setFrameShadow(QFrame::Sunken);
    lblCopyright = new QLabel(this);
    lblCopyright->setObjectName(QStringLiteral("lblCopyright"));
    lblCopyright->setWordWrap(true);
    lblTavrino = new QLabel(this);
    lblTavrino->setObjectName(QStringLiteral("lblTavrino"));
    lblTavrino->setWordWrap(true);
    lblFilesFolder = new QLabel(this);
    lblFilesFolder->setObjectName(QStringLiteral("lblFilesFolder"));
    lblFilesFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    imgHalvornLogo = new QLabel(this);
    imgHalvornLogo->setObjectName(QStringLiteral("imgHalvornLogo"));
    imgHalvornLogo->setPixmap(HalvornLogo(32));
    btnOk = new QPushButton(this);
    btnOk->setObjectName(QStringLiteral("btnOk"));

    auto* top = new QGridLayout;
    top->addWidget(imgIcon, 0, 0, 4, 1);
    top->addWidget(lblModelName, 0, 1);
    top->addWidget(lblVersion, 1, 1);
    top->addWidget(lblIpAddress, 2, 1);
    top->addWidget(lblIpv6Address, 3, 1);
    top->setColumnStretch(1, 1);
    top->setHorizontalSpacing(16);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(imgHalvornLogo, 0, Qt::AlignBottom);
    bottom->addStretch();
    bottom->addWidget(btnOk, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(linLine);
    layout->addWidget(lblCopyright);
    layout->addWidget(lblTavrino);
    layout->addWidget(lblFilesFolder);
    layout->addSpacing(8);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SetFormBaseFont(this);
    QFont modelFont = lblModelName->font();
    modelFont.setBold(true);
    lblModelName->setFont(modelFont);
    // Enter and Esc both close the box.
    btnOk->setDefault(true);
    btnOk->setAutoDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &frmAbout::btnOk_Click);

    ApplyLanguage();
    SetHelpContext(this, m_info.helpFile, m_info.helpContext);
}

frmAbout::~frmAbout() = default;

void frmAbout::ApplyLanguage() {
    setWindowTitle(Tr(QStringLiteral("About ") + m_info.programTitle,
                      m_info.programTitle + QStringLiteral("について")));
    lblModelName->setText(m_info.programTitle + QLatin1Char(' ') + m_info.modelLine);
    lblVersion->setText(FormatVersion(m_info.versionMajor, m_info.versionMinor));
    lblCopyright->setText(
        Tr(QStringLiteral("Copyright © 2026 HALVORN Corporation.\n"
                          "Free software under the GNU General Public License, version 3 or "
                          "later (COPYING); it comes with no warranty."),
           QStringLiteral("Copyright © 2026 HALVORN Corporation.\n"
                          "GNU一般公衆利用許諾書バージョン3以降の下で配布されるフリー・"
                          "ソフトウェアです（COPYING）。無保証です。")));
    lblTavrino->setText(
        QStringLiteral("Voice engine: TavrinoStandard VoIP control (GSM 06.10 voice over UDP)."));
    lblFilesFolder->setText(Tr(QStringLiteral("Files: "), QStringLiteral("ファイル: ")) +
                            QDir::toNativeSeparators(ProgramFolder()));
    btnOk->setText(Tr(QStringLiteral("&OK"), QStringLiteral("OK(&O)")));
    btnOk->setToolTip(Tr(QStringLiteral("OK"), QStringLiteral("OK")));
    DescribeStationIcon(imgIcon, m_info.programTitle, m_info.modelLine);
    DescribeLogo(imgHalvornLogo);
}

void frmAbout::ShowLocalAddress() {
    const QString address = m_info.localAddress ? m_info.localAddress() : GetLocalIPAddress();
    lblIpAddress->setText(Tr(QStringLiteral("IP Address: "), QStringLiteral("IPアドレス: ")) +
                          address);
    // A caller can reach an IPv6 host directly, with no router in between to open.
    const QString ipv6 =
        m_info.globalIpv6Address ? m_info.globalIpv6Address() : GetGlobalIPv6Address();
    lblIpv6Address->setText(
        ipv6.isEmpty()
            ? QString()
            : Tr(QStringLiteral("IPv6 Address: "), QStringLiteral("IPv6アドレス: ")) + ipv6);
    lblIpv6Address->setVisible(!ipv6.isEmpty());
}

void frmAbout::showEvent(QShowEvent* event) {
    // The address may have changed since the box was made or last shown;
    // a window system's own re-show (after minimising) is not a new opening.
    if (!event->spontaneous())
        ShowLocalAddress();
    QDialog::showEvent(event);
}

void frmAbout::btnOk_Click() {
    accept();
}
