// SPDX-License-Identifier: GPL-3.0-or-later
// Waits on an ALSA PCM until it is ready, or until its device thread is told to stop.
#include "AlsaPcmWait.h"

#include "DeviceWake.h"

#include <poll.h>

#include <array>
#include <cerrno>
#include <chrono>

namespace {

// What snd_pcm_wait makes of an error on the descriptors.
int StateError(snd_pcm_t* pcm) {
    switch (snd_pcm_state(pcm)) {
    case SND_PCM_STATE_XRUN:
        return -EPIPE;
    case SND_PCM_STATE_SUSPENDED:
        return -ESTRPIPE;
    case SND_PCM_STATE_DISCONNECTED:
        return -ENODEV;
    default:
        return -EIO;
    }
}

} // namespace

int WaitForPcm(snd_pcm_t* pcm, snd_pcm_uframes_t enough, const DeviceWake& wake, int timeoutMs) {
    if (wake.Raised())
        return 0;
    // On the stack: the device thread waits here for every period, and may not throw.
    std::array<pollfd, 16> fds{};
    const int count = snd_pcm_poll_descriptors_count(pcm);
    if (count <= 0 || count >= static_cast<int>(fds.size()) || wake.Descriptor() < 0 ||
        snd_pcm_poll_descriptors(pcm, fds.data(), static_cast<unsigned>(count)) != count)
        return snd_pcm_wait(pcm, timeoutMs);
    fds[static_cast<size_t>(count)] = pollfd{wake.Descriptor(), POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Descriptors signal a change, not a level: audio already there would not wake us.
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
        if (avail < 0)
            return static_cast<int>(avail);
        if (static_cast<snd_pcm_uframes_t>(avail) >= enough)
            return 1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return 0;
        const int rc = poll(fds.data(), static_cast<nfds_t>(count + 1), static_cast<int>(left.count()));
        if (rc < 0 && errno != EINTR)
            return -errno;
        if (rc == 0 || wake.Raised())
            return 0;
        if (rc < 0)
            continue;
        unsigned short revents = 0;
        if (snd_pcm_poll_descriptors_revents(pcm, fds.data(), static_cast<unsigned>(count), &revents) < 0)
            return -EIO;
        if ((revents & (POLLERR | POLLNVAL)) != 0)
            return StateError(pcm);
        if ((revents & (POLLIN | POLLOUT)) != 0)
            return 1;
    }
}
