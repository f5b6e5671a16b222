// Microphone volume: capture volume of Capture, else Mic; one call at a time.
#pragma once

#include "mixer/CMixerVolumeLookup.h"

class CMicVolume : public CMixerVolumeLookup {
public:
    explicit CMicVolume(MixerOpener opener = OpenConfiguredMixer);
};
