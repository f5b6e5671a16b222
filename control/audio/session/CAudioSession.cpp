// SPDX-License-Identifier: GPL-3.0-or-later
// CAudioSession: one control's audio state.
#include "CAudioSession.h"

#include "PulseServer.h"
#include "TavrinoStandardApi.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A meter that stands still this long shows nothing: the device stopped.
constexpr int64_t STALE_MS = 500;
// The meter's floor: quieter than this reads 0.
constexpr double FLOOR_DB = -60.0;

} // namespace

CAudioSession::CAudioSession(NoticeSink sink) : m_sink(std::move(sink)) {}

void CAudioSession::ApplyEnvironment(const std::string& capture, const std::string& playback,
                                     const std::string& echo, const std::string& timingLog) {
    std::lock_guard lock(m_mutex);
    m_forcedCapture = capture;
    m_forcedPlayback = playback;
    m_forcedEcho = echo;
    m_timingLog = timingLog;
}

AudioDeviceContext CAudioSession::DeviceContext() {
    AudioDeviceContext context;
    context.notify = [this](int notice) { Notify(notice); };
    context.reference = &m_reference;
    std::lock_guard lock(m_mutex);
    context.timingLog = m_timingLog;
    return context;
}

void CAudioSession::ChooseCapture(const std::string& setting) {
    std::lock_guard lock(m_mutex);
    m_capture = setting;
}

void CAudioSession::ChoosePlayback(const std::string& setting) {
    std::lock_guard lock(m_mutex);
    m_playback = setting;
}

std::string CAudioSession::Resolve(const std::string& forced, const std::string& chosen) {
    if (!forced.empty())
        return forced;
    if (chosen.empty())
        return PulseServerAnswers() ? "pulse" : "alsa:default";
    if (chosen.rfind("pulse", 0) == 0 && !PulseServerAnswers()) {
        Notify(Tavrino::NOTICE_NO_SERVER);
        return "alsa:default";
    }
    return chosen;
}

std::string CAudioSession::CaptureSetting() {
    std::string forced, chosen;
    {
        std::lock_guard lock(m_mutex);
        forced = m_forcedCapture;
        chosen = m_capture;
    }
    return Resolve(forced, chosen);
}

std::string CAudioSession::PlaybackSetting() {
    std::string forced, chosen;
    {
        std::lock_guard lock(m_mutex);
        forced = m_forcedPlayback;
        chosen = m_playback;
    }
    return Resolve(forced, chosen);
}

bool CAudioSession::EchoWanted(bool realDevice) const {
    {
        std::lock_guard lock(m_mutex);
        if (m_forcedEcho == "on")
            return true;
        if (m_forcedEcho == "off")
            return false;
    }
    const int chosen = m_echo.load();
    return chosen == AUTOMATIC ? realDevice : chosen == ON;
}

void CAudioSession::Notify(int notice) {
    m_notices.fetch_or(notice);
    if (m_sink)
        m_sink(notice);
}

void CAudioSession::ReportLevel(const int16_t* samples, int count) {
    int peak = 0;
    for (int i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    // Decibels, because a meter in amplitude shows speech at a tenth of its travel.
    int level = 0;
    if (peak > 0) {
        const double db = 20.0 * std::log10(peak / 32768.0);
        level = static_cast<int>(std::lround(100.0 * (db - FLOOR_DB) / -FLOOR_DB));
        level = std::clamp(level, 0, 100);
    }
    m_level.store(level);
    m_levelAtMs.store(NowMs());
}

int CAudioSession::Level() const {
    if (NowMs() - m_levelAtMs.load() > STALE_MS)
        return 0;
    return m_level.load();
}
