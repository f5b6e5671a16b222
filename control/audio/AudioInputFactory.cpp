// Chooses the capture input (ALSA, WAV file or silence) from a setting or the environment.
#include "AudioInputFactory.h"

#include "AlsaAudioInput.h"
#include "SilenceAudioInput.h"
#include "WavFileAudioInput.h"

#include <cstdlib>

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
    if (StartsWith(setting, "file:") && setting.size() > 5)
        return std::make_unique<WavFileAudioInput>(setting.substr(5));
    return nullptr;
}

std::unique_ptr<AudioInput> CreateAudioInputFromEnvironment() {
    const char* value = std::getenv("TAVRINO_CAPTURE");
    if (value == nullptr || *value == '\0')
        return CreateAudioInput("alsa:default");
    return CreateAudioInput(value);
}
