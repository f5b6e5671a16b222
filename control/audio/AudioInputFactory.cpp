// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the capture input (ALSA, WAV file or silence) from a setting or the environment.
#include "AudioInputFactory.h"

#include "AlsaAudioInput.h"
#include "AudioChoice.h"
#include "MeteredAudioInput.h"
#include "PulseAudioInput.h"
#include "PulseServer.h"
#include "TavrinoStandardApi.h"
#include "SilenceAudioInput.h"
#include "WavFileAudioInput.h"

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::unique_ptr<AudioInput> CreateAudioInput(const std::string& setting) {
    if (setting == "silence")
        return std::make_unique<SilenceAudioInput>();
    if (setting == "alsa")
        return std::make_unique<AlsaAudioInput>("default");
    if (StartsWith(setting, "alsa:") && setting.size() > 5)
        return std::make_unique<AlsaAudioInput>(setting.substr(5));
    if (setting == "pulse" || StartsWith(setting, "pulse:"))
        return std::make_unique<PulseAudioInput>(setting.size() > 6 ? setting.substr(6) : std::string());
    if (StartsWith(setting, "file:") && setting.size() > 5)
        return std::make_unique<WavFileAudioInput>(setting.substr(5));
    return nullptr;
}

std::string DefaultAudioSetting() {
    return PulseServerAnswers() ? "pulse" : "alsa:default";
}

std::string ChosenAudioSetting(const std::string& forced, const std::string& chosen,
                               int noServerNotice) {
    if (!forced.empty())
        return forced;
    if (chosen.empty())
        return DefaultAudioSetting();
    if (StartsWith(chosen, "pulse") && !PulseServerAnswers()) {
        AudioChoice::Instance().Notify(noServerNotice);
        return "alsa:default";
    }
    return chosen;
}

std::unique_ptr<AudioInput> CreateChosenAudioInput(const std::string& forced) {
    const std::string setting =
        ChosenAudioSetting(forced, AudioChoice::Instance().Capture(), Tavrino::NOTICE_NO_SERVER);
    auto input = CreateAudioInput(setting);
    if (input == nullptr)
        return nullptr;
    return std::make_unique<MeteredAudioInput>(std::move(input));
}
