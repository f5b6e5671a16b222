// Chooses the capture input (ALSA, WAV file or silence) from a setting or the environment.
#pragma once

#include "AudioInput.h"

#include <memory>
#include <string>

// `setting` is "alsa:DEVICE", "alsa" (the default device), "file:PATH.wav" or "silence";
// anything else gives nullptr. The input is created closed.
std::unique_ptr<AudioInput> CreateAudioInput(const std::string& setting);

// Reads TAVRINO_CAPTURE, "alsa:default" when unset or empty.
std::unique_ptr<AudioInput> CreateAudioInputFromEnvironment();
