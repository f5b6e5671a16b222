// Waits on an ALSA PCM until it is ready, or until its device thread is told to stop.
#include "AlsaPcmWait.h"

#include "DeviceWake.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <vector>

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
    const int count = snd_pcm_poll_descriptors_count(pcm);
    std::vector<pollfd> fds(count > 0 ? static_cast<size_t>(count) + 1 : 0);
    if (count <= 0 || wake.Descriptor() < 0 ||
        snd_pcm_poll_descriptors(pcm, fds.data(), static_cast<unsigned>(count)) != count)
        return snd_pcm_wait(pcm, timeoutMs);
    fds.back() = pollfd{wake.Descriptor(), POLLIN, 0};
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
        const int rc = poll(fds.data(), static_cast<nfds_t>(fds.size()), static_cast<int>(left.count()));
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
