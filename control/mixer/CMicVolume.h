// SPDX-License-Identifier: GPL-3.0-or-later
// Microphone volume: capture volume of Capture, else Mic; one call at a time.
#pragma once

#include "CMixerVolumeLookup.h"

class CMicVolume : public CMixerVolumeLookup {
public:
    explicit CMicVolume(MixerOpener opener);
};
