// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the audio output backend from a setting such as TAVRINO_PLAYBACK.
#include "AudioOutputFactory.h"

#include "AlsaAudioOutput.h"
#include "AudioChoice.h"
#include "AudioInputFactory.h"
#include "PulseAudioOutput.h"
#include "TavrinoStandardApi.h"
#include "NullAudioOutput.h"
#include "WavFileAudioOutput.h"

#include <cstdlib>

std::unique_ptr<AudioOutput> CreateAudioOutput(const std::string& setting, std::string* error) {
    if (setting.empty() || setting == "alsa") {
        return std::make_unique<AlsaAudioOutput>("default");
    }
    if (setting.rfind("alsa:", 0) == 0 && setting.size() > 5) {
        return std::make_unique<AlsaAudioOutput>(setting.substr(5));
    }
    if (setting == "pulse" || setting.rfind("pulse:", 0) == 0) {
        return std::make_unique<PulseAudioOutput>(setting.size() > 6 ? setting.substr(6) : std::string());
    }
    if (setting.rfind("file:", 0) == 0 && setting.size() > 5) {
        return std::make_unique<WavFileAudioOutput>(setting.substr(5));
    }
    if (setting == "null") {
        return std::make_unique<NullAudioOutput>();
    }
    if (error != nullptr) {
        *error = "unknown audio output \"" + setting + "\" (alsa:DEVICE, pulse:SINK, file:PATH.wav or null)";
    }
    return nullptr;
}

std::unique_ptr<AudioOutput> CreateChosenAudioOutput(const std::string& forced, std::string* error) {
    return CreateAudioOutput(
        ChosenAudioSetting(forced, AudioChoice::Instance().Playback(), Tavrino::NOTICE_NO_SERVER),
        error);
}
