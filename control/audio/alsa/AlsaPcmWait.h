// SPDX-License-Identifier: GPL-3.0-or-later
// Waits on an ALSA PCM until it is ready, or until its device thread is told to stop.
#pragma once

#include <alsa/asoundlib.h>

class DeviceWake;

// As snd_pcm_wait: 1 once `enough` frames can be read or written (at once when they can
// already), 0 when `timeoutMs` passed or `wake` was raised (the caller then looks at its
// stop flag), a negative error code when the device needs recovering or is gone.
int WaitForPcm(snd_pcm_t* pcm, snd_pcm_uframes_t enough, const DeviceWake& wake, int timeoutMs);
