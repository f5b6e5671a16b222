// SPDX-License-Identifier: GPL-3.0-or-later
// The control's mixer methods: speaker and microphone volume, microphone boost.
#include "MixerControl.h"

#include "CMicBoost.h"
#include "CMicVolume.h"
#include "CSpeakerVolume.h"
#include "TavrinoStandardApi.h"
#include "MixerScale.h"

namespace {

void Record(int32_t* objectError, int32_t code) {
    if (objectError != nullptr) {
        *objectError = code;
    }
}

bool SetBoost(bool on, const MixerOpener& opener) {
    try {
        CMicBoost boost(opener);
        return boost.Open() && boost.Set(on);
    } catch (...) {
        return false;
    }
}

} // namespace

bool MixerSetSpkVolume(int32_t volume, int32_t* objectError, const MixerOpener& opener) {
    try {
        CSpeakerVolume speaker(opener);
        if (speaker.Open() && speaker.Set(SpeakerInputVolume(volume))) {
            return true;
        }
    } catch (...) {
    }
    Record(objectError, Tavrino::ERR_SPK_MIXER);
    return false;
}

int32_t MixerGetSpkVolume(int32_t* objectError, const MixerOpener& opener) {
    int32_t result = 0;
    try {
        CSpeakerVolume speaker(opener);
        if (speaker.Open()) {
            int volume = 0;
            if (speaker.Get(volume)) {
                return volume;
            }
            result = -1;
        }
    } catch (...) {
    }
    Record(objectError, Tavrino::ERR_SPK_MIXER);
    return result;
}

bool MixerSetMicVolume(int32_t volume, int32_t* objectError, const MixerOpener& opener) {
    try {
        CMicVolume mic(opener);
        if (mic.Open() && mic.Set(MicInputVolume(volume))) {
            return true;
        }
    } catch (...) {
    }
    Record(objectError, Tavrino::ERR_MIC_MIXER);
    return false;
}

int32_t MixerGetMicVolume(int32_t* objectError, const MixerOpener& opener) {
    try {
        CMicVolume mic(opener);
        int volume = 0;
        if (mic.Open() && mic.Get(volume)) {
            return volume;
        }
    } catch (...) {
    }
    Record(objectError, Tavrino::ERR_MIC_MIXER);
    return -1;
}

bool MixerEnableMicBoost(const MixerOpener& opener) {
    return SetBoost(true, opener);
}

bool MixerDisableMicBoost(const MixerOpener& opener) {
    return SetBoost(false, opener);
}

bool MixerIsMicBoostEnable(const MixerOpener& opener) {
    try {
        CMicBoost boost(opener);
        bool on = false;
        return boost.Open() && boost.Get(on) && on;
    } catch (...) {
        return false;
    }
}
