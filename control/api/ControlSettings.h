// SPDX-License-Identifier: GPL-3.0-or-later
// ControlSettings: what the environment says about the control's devices and socket.
#pragma once

#include <string>

// Read on the control's thread when the control is made and at each Initialize, and
// handed down as plain values: no lower layer looks at the environment itself. An unset
// variable reads as empty, and each layer gives empty its own default.
struct ControlSettings {
    std::string bindAddress; // TAVRINO_BIND_ADDRESS: the one address the socket binds
    std::string capture;     // TAVRINO_CAPTURE: the microphone, over the station's choice
    std::string playback;    // TAVRINO_PLAYBACK: the speaker, over the station's choice
    std::string echo;        // TAVRINO_ECHO: "on" or "off" over the automatic choice
    std::string mixer;       // TAVRINO_MIXER: the ALSA control device of the volumes
    std::string timingLog;   // TAVRINO_TIMING_LOG: where WAV devices log their start
    // TAVRINO_CALL_REPORTS: "off" offers no call reports, as an older station does (for
    // comparing a call without them on the same link); anything else offers them.
    std::string callReports;

    static ControlSettings FromEnvironment();
};
