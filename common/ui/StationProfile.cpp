// SPDX-License-Identifier: GPL-3.0-or-later
// What tells the two stations apart in the parts their main windows share.
#include "StationProfile.h"

#include "modHvnRegistry.h"

QString StationProfile::Words::Text() const {
    return Tr(english, japanese);
}

StationProfile StationProfile::Of(Station station) {
    if (station == Station::Host)
        return {
            Station::Host,
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
    return {Station::Remote,
            QStringLiteral("TESSORAR"),
            QStringLiteral("TESSORA-R"),
            QStringLiteral("VoIP Program (for Remote Station)"),
            "mnuRunConnect",
            "tmrUpdateVoipStatus",
            "lblStatus",
            {{QStringLiteral("&Connect"), QStringLiteral("接続(&C)")},
             {QStringLiteral("Click to Connect"), QStringLiteral("接続はここをクリック")}},
            {{QStringLiteral("&Disconnect"), QStringLiteral("切断(&D)")},
             {QStringLiteral("Click to Disconnect"), QStringLiteral("切断はここをクリック")}}};
}
