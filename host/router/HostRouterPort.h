// SPDX-License-Identifier: GPL-3.0-or-later
// The host's listen port on the home router while it is online: the Run menu's switch
// (mnuRunRouterPort), the mapper that opens and closes the port, and the status line
// (lblRouterStatus) that tells what became of it.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CPortMapper;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class StationDesktop;
struct PortMapReport;

class HostRouterPort : public QObject {
    Q_OBJECT
public:
    // Adds the switch to `run`. `onlinePort` gives the listen port while the host is
    // online, nothing while it is offline.
    HostRouterPort(QMenu* run, StationDesktop* desktop,
                   std::function<std::optional<quint16>()> onlinePort, QObject* parent);
    ~HostRouterPort() override;

    // The router's port on a line of its own in `frame`, so call statuses never hide it.
    void AddStatusLine(QGroupBox* frame);
    // The switch as the operator left it, and whether the environment allows it at all.
    void LoadOption();
    void ApplyLanguage();

    // Opens the port once the host is online, when the switch is on and allowed.
    void Open();
    // Closes it again; the mapper's worker removes it, and its destructor waits a bounded
    // time for that.
    void Stop();

    // Where remotes on the Internet reach the host while the port stands open: the
    // router's public address, and the address its IPv6 pinhole lets them reach. Empty
    // when there is none.
    QString PublicAddress() const;
    QString PinholeAddress() const;

private:
    void mnuRunRouterPort_Click();
    void RouterPort_Changed(const PortMapReport& report);

    QAction* mnuRunRouterPort;
    QLabel* lblRouterStatus = nullptr;
    StationDesktop* m_desktop;
    std::function<std::optional<quint16>()> m_onlinePort;
    std::unique_ptr<CPortMapper> m_router;
};
