// SPDX-License-Identifier: GPL-3.0-or-later
// The host's listen port on the home router while it is online.
#include "HostRouterPort.h"

#include "CPortMapper.h"
#include "NamedChild.h"
#include "StationDesktop.h"
#include "modConsoleLog.h"
#include "modHvnRegistry.h"
#include "modRouterPort.h"
#include "modStationEnvironment.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>

HostRouterPort::HostRouterPort(QMenu* run, StationDesktop* desktop,
                               std::function<std::optional<quint16>()> onlinePort, QObject* parent)
    : QObject(parent), mnuRunRouterPort(run->addAction(QString())), m_desktop(desktop),
      m_onlinePort(std::move(onlinePort)) {
    mnuRunRouterPort->setObjectName(QStringLiteral("mnuRunRouterPort"));
    mnuRunRouterPort->setCheckable(true);
    connect(mnuRunRouterPort, &QAction::triggered, this, &HostRouterPort::mnuRunRouterPort_Click);
}

HostRouterPort::~HostRouterPort() = default;

void HostRouterPort::AddStatusLine(QGroupBox* frame) {
    lblRouterStatus = NewNamed<QLabel>(frame, "lblRouterStatus");
    lblRouterStatus->setWordWrap(true);
    lblRouterStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    frame->layout()->addWidget(lblRouterStatus);
}

void HostRouterPort::LoadOption() {
    mnuRunRouterPort->setChecked(RouterPortOptionOn());
    mnuRunRouterPort->setEnabled(RouterPortAllowedByEnvironment());
}

void HostRouterPort::ApplyLanguage() {
    mnuRunRouterPort->setText(Tr(QStringLiteral("Open the Port on the Router by &UPnP"),
                                 QStringLiteral("UPnPでルーターのポートを開く(&U)")));
}

void HostRouterPort::Open() {
    if (!mnuRunRouterPort->isChecked() || !RouterPortAllowedByEnvironment())
        return;
    const std::optional<quint16> port = m_onlinePort();
    if (!port)
        return;
    if (!m_router) {
        m_router = NewRouterPortMapper();
        connect(m_router.get(), &CPortMapper::Changed, this, &HostRouterPort::RouterPort_Changed);
    }
    m_router->Start(*port);
}

void HostRouterPort::Stop() {
    if (m_router)
        m_router->Stop();
}

QString HostRouterPort::PublicAddress() const {
    return m_router ? m_router->PublicAddress() : QString();
}

QString HostRouterPort::PinholeAddress() const {
    return m_router ? m_router->PinholeAddress() : QString();
}

void HostRouterPort::mnuRunRouterPort_Click() {
    SetRouterPortOption(mnuRunRouterPort->isChecked());
    if (mnuRunRouterPort->isChecked())
        Open();
    else
        Stop();
}

void HostRouterPort::RouterPort_Changed(const PortMapReport& report) {
    const QStringList before = lblRouterStatus->text().split(QLatin1Char('\n'));
    const QString text = RouterPortText(report);
    lblRouterStatus->setText(text);
    // The forwarding's and the pinhole's lines are logged as each changes.
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!before.contains(line))
            ConsoleLog(QStringLiteral("router: ") + line);
    if (report.state == PortMapReport::State::Refused ||
        report.state == PortMapReport::State::Taken)
        m_desktop->RouterRefused(text);
}
