// SPDX-License-Identifier: GPL-3.0-or-later
// Asks the PulseAudio server (or PipeWire's PulseAudio service) which devices it has.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct PulseDevice {
    bool capture = false;     // a source, else a sink
    std::string name;         // the server's name: what "pulse:NAME" takes
    std::string description;  // what a person reads
    bool isDefault = false;   // the server's default of its kind
};

// Nothing when no server answers within `timeoutMs`. Monitors of sinks are left out:
// they are no microphone. Never autospawns a server.
std::optional<std::vector<PulseDevice>> ListPulseDevices(int timeoutMs = 1500);

// The same question without the lists.
bool PulseServerAnswers(int timeoutMs = 1000);
