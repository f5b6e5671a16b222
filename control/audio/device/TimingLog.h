// SPDX-License-Identifier: GPL-3.0-or-later
// Optional log of when file-backed audio devices start, for measuring delay on the audio itself.
#pragma once

#include <string>

// When `log` is not empty (the control's TAVRINO_TIMING_LOG), appends one line there,
// "KIND PATH NS": the CLOCK_REALTIME nanoseconds at which sample 0 of the WAV at PATH is
// spoken (KIND "capture-start") or heard (KIND "playback-start"). Measuring tools line two
// recordings up on a common clock with it; nothing else reads it. Safe from any thread and
// from several processes: each line is one append. `delayNs` is added to the present time,
// for a device whose sample 0 is heard later.
void LogAudioDeviceStart(const std::string& log, const char* kind, const std::string& path,
                         long long delayNs = 0);
