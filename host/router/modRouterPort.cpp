// SPDX-License-Identifier: GPL-3.0-or-later
// The host's side of the router port: option, texts and the mapper.
#include "modRouterPort.h"

#include "NatPmpGateway.h"
#include "NetAddress.h"
#include "UpnpPinholeGateway.h"
#include "modHvnRegistry.h"
#include "modStationEnvironment.h"
#include "modUserSettings.h"

namespace {

const QString kOptionKey = QStringLiteral("Router/OpenPortByUPnP");

} // namespace

bool RouterPortOptionOn() {
    return UserOption(QStringLiteral("TESSORA-H"), kOptionKey, true);
}

void SetRouterPortOption(bool on) {
    SetUserOption(QStringLiteral("TESSORA-H"), kOptionKey, on);
}

namespace {

QString PinholeText(quint16 number, const PortMapReport::Pinhole& pinhole) {
    using State = PortMapReport::State;
    const QString port = QString::number(number);
    switch (pinhole.state) {
    case State::Off:
    case State::Taken: // a pinhole is never another machine's
        return {};
    case State::Open:
        return Tr(QStringLiteral("IPv6 port %1 is open in the router's firewall for %2")
                      .arg(port, pinhole.address),
                  QStringLiteral("ルーターのファイアウォールでIPv6のポート%1を %2 に開きました")
                      .arg(port, pinhole.address));
    case State::Closed:
        return Tr(
            QStringLiteral("IPv6 port %1 is closed in the router's firewall.").arg(port),
            QStringLiteral("ルーターのファイアウォールでIPv6のポート%1を閉じました。").arg(port));
    case State::NoGateway:
        return Tr(QStringLiteral("IPv6 port %1 is not open in the router's firewall: the router "
                                 "offers no IPv6 pinholes.")
                      .arg(port),
                  QStringLiteral("ルーターのファイアウォールでIPv6のポート%1は開いていません。"
                                 "ルーターはIPv6のピンホールに対応していません。")
                      .arg(port));
    case State::Refused:
        return Tr(QStringLiteral("IPv6 port %1 is not open in the router's firewall: the router "
                                 "refused (error %2).")
                      .arg(port)
                      .arg(pinhole.code),
                  QStringLiteral("ルーターのファイアウォールでIPv6のポート%1は開いていません。"
                                 "ルーターに拒否されました（エラー%2）。")
                      .arg(port)
                      .arg(pinhole.code));
    }
    return {};
}

} // namespace

QString RouterPortText(const PortMapReport& report) {
    const QString forwarding = ForwardingText(report);
    const QString pinhole = PinholeText(report.port, report.pinhole);
    if (forwarding.isEmpty() || pinhole.isEmpty())
        return forwarding + pinhole;
    return forwarding + QLatin1Char('\n') + pinhole;
}

QString ForwardingText(const PortMapReport& report) {
    using State = PortMapReport::State;
    const QString port = QString::number(report.port);
    switch (report.state) {
    case State::Off:
        return {};
    case State::Open:
        if (report.address.isEmpty())
            return Tr(QStringLiteral("Port %1 is open on the router, which does not tell its "
                                     "public address.")
                          .arg(port),
                      QStringLiteral("ルーターのポート%1を開きましたが、ルーターは公開アドレスを"
                                     "知らせていません。")
                          .arg(port));
        return Tr(QStringLiteral("Port %1 is open on the router at %2").arg(port, report.address),
                  QStringLiteral("ルーター %2 のポート%1を開きました").arg(port, report.address));
    case State::Closed:
        return Tr(QStringLiteral("Port %1 is closed on the router.").arg(port),
                  QStringLiteral("ルーターのポート%1を閉じました。").arg(port));
    case State::NoGateway:
        return Tr(
            QStringLiteral("Port %1 is not open on the router: no gateway found.").arg(port),
            QStringLiteral("ルーターのポート%1は開いていません。ゲートウェイが見つかりません。")
                .arg(port));
    case State::Refused:
        return Tr(
            QStringLiteral("Port %1 is not open on the router: the router refused (error %2).")
                .arg(port)
                .arg(report.code),
            QStringLiteral("ルーターのポート%1は開いていません。ルーターに拒否されました"
                           "（エラー%2）。")
                .arg(port)
                .arg(report.code));
    case State::Taken: {
        const QString holder = report.address.isEmpty() ? Tr(QStringLiteral("another machine"),
                                                             QStringLiteral("別のコンピューター"))
                                                        : report.address;
        return Tr(QStringLiteral("Port %1 is not open on the router: it is already taken by %2.")
                      .arg(port, holder),
                  QStringLiteral("ルーターのポート%1は開いていません。すでに%2が使用しています。")
                      .arg(port, holder));
    }
    }
    return {};
}

std::unique_ptr<CPortMapper> NewRouterPortMapper(QObject* parent) {
    const QByteArray bindAddress = BindAddressFromEnvironment();
    PortMapperTiming timing;
    if (const int checkSeconds = RouterCheckSecondsFromEnvironment(); checkSeconds > 0)
        timing.checkMs = checkSeconds * 1000;
    // A host bound to an IPv6 address takes no IPv4 calls: nothing to forward.
    const auto bound = Tavrino::ParseIpAddress(bindAddress.toStdString());
    const bool ipv6Only = bound && bound->family == Tavrino::IpAddress::V6;
    // UPnP first, which most home routers speak; NAT-PMP where it is missing.
    const auto makeGateway = [bindAddress, ipv6Only]() -> std::unique_ptr<IGateway> {
        if (ipv6Only)
            return nullptr;
        std::vector<std::unique_ptr<IGateway>> ways;
        ways.push_back(NewUpnpGateway(bindAddress));
        ways.push_back(NewNatPmpGateway());
        return NewFirstFoundGateway(std::move(ways));
    };
    // The IPv6 firewall only by UPnP IGD 2: NAT-PMP has no pinholes.
    const auto makePinholes = [bindAddress] { return NewUpnpPinholeGateway(bindAddress); };
    return std::make_unique<CPortMapper>(makeGateway, timing, makePinholes, parent);
}
