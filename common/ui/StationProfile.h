// SPDX-License-Identifier: GPL-3.0-or-later
// What tells the two stations apart in the parts their main windows share: names, captions
// of the toggle that starts and ends a station's side, and the object names of its parts.
#pragma once

#include "modControlMessages.h"

#include <QString>

struct StationProfile {
    // A caption in the two languages.
    struct Words {
        QString english;
        QString japanese;
        QString Text() const;
    };

    // The toggle (chkOnline, chkConnect) and its Run menu item, in one of the two states.
    struct ToggleTexts {
        Words caption;
        Words toolTip;
    };

    Station station;
    QString programBase;         // "TESSORAH": icon and help file names
    QString title;               // "TESSORA-H": the about item's caption
    QString windowTitle;         // after the program title: "VoIP Program (for Host Station)"
    const char* runActionName;   // "mnuRunOnline"
    const char* lampTimerName;   // "tmrMessage"
    const char* statusLabelName; // "lblConnectionStatus"
    ToggleTexts idle;            // "&Online" / "Click to Online"
    ToggleTexts active;          // "&Offline" / "Click to Offline"

    static StationProfile Of(Station station);
};
