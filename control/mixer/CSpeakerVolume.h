// SPDX-License-Identifier: GPL-3.0-or-later
// Speaker volume: playback volume of Master, else PCM, else Speaker; one call at a time.
#pragma once

#include "CMixerVolumeLookup.h"

class CSpeakerVolume : public CMixerVolumeLookup {
public:
    explicit CSpeakerVolume(MixerOpener opener);
};
