// SPDX-License-Identifier: GPL-3.0-or-later
// ControlSettings: what the environment says about the control's devices and socket.
#include "ControlSettings.h"

#include <cstdlib>

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace

ControlSettings ControlSettings::FromEnvironment() {
    ControlSettings settings;
    settings.bindAddress = Variable("TAVRINO_BIND_ADDRESS");
    settings.capture = Variable("TAVRINO_CAPTURE");
    settings.playback = Variable("TAVRINO_PLAYBACK");
    settings.echo = Variable("TAVRINO_ECHO");
    settings.callReports = Variable("TAVRINO_CALL_REPORTS");
    settings.mixer = Variable("TAVRINO_MIXER");
    settings.timingLog = Variable("TAVRINO_TIMING_LOG");
    return settings;
}
