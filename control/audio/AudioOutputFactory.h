// SPDX-License-Identifier: GPL-3.0-or-later
// Chooses the audio output backend from a setting such as TAVRINO_PLAYBACK.
#pragma once

#include <memory>
#include <string>

class AudioOutput;

// "alsa:DEVICE" (or "alsa", or empty: "alsa:default"), "pulse:SINK" (or "pulse": the
// server's default sink), "file:PATH.wav", "null".
// Null, with the reason in `error`, for anything else.
std::unique_ptr<AudioOutput> CreateAudioOutput(const std::string& setting, std::string* error);

// `forced` (the control's TAVRINO_PLAYBACK) when not empty, else the output chosen
// through AudioChoice, else the default.
std::unique_ptr<AudioOutput> CreateChosenAudioOutput(const std::string& forced, std::string* error);
