// Chooses the audio output backend from a setting such as TAVRINO_PLAYBACK.
#pragma once

#include <memory>
#include <string>

class AudioOutput;

// "alsa:DEVICE" (or "alsa", or empty: "alsa:default"), "file:PATH.wav", "null".
// Null, with the reason in `error`, for anything else.
std::unique_ptr<AudioOutput> CreateAudioOutput(const std::string& setting, std::string* error);

// The same for the TAVRINO_PLAYBACK environment variable.
std::unique_ptr<AudioOutput> CreateAudioOutputFromEnvironment(std::string* error);
