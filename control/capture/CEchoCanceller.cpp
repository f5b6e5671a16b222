// SPDX-License-Identifier: GPL-3.0-or-later
// Removes the loudspeaker's echo and steady noise from captured buffers, before they are encoded.
#include "CEchoCanceller.h"

#include "EchoReference.h"

#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

void ReportStartFailure() {
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true))
        qWarning("TavrinoStandard: the echo canceller could not start; the voice is sent "
                 "without echo cancellation or noise suppression");
}

} // namespace

std::unique_ptr<CEchoCanceller> CEchoCanceller::Create(EchoReference& reference, int tailSamples,
                                                       bool denoise, int rate) {
    if (tailSamples <= 0 || tailSamples % STEP_SAMPLES != 0 || (rate != 8000 && rate != 16000)) {
        ReportStartFailure();
        return nullptr;
    }
    SpeexEchoState* echo = speex_echo_state_init(STEP_SAMPLES, tailSamples);
    SpeexPreprocessState* pre = speex_preprocess_state_init(STEP_SAMPLES, rate);
    if (echo == nullptr || pre == nullptr) {
        if (echo != nullptr)
            speex_echo_state_destroy(echo);
        if (pre != nullptr)
            speex_preprocess_state_destroy(pre);
        ReportStartFailure();
        return nullptr;
    }
    speex_echo_ctl(echo, SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
    // The preprocessor learns from the canceller where the residual echo is.
    speex_preprocess_ctl(pre, SPEEX_PREPROCESS_SET_ECHO_STATE, echo);
    int suppress = denoise ? 1 : 0;
    speex_preprocess_ctl(pre, SPEEX_PREPROCESS_SET_DENOISE, &suppress);
    return std::unique_ptr<CEchoCanceller>(
        new CEchoCanceller(reference, echo, pre, tailSamples / STEP_SAMPLES, rate / RATE));
}

CEchoCanceller::CEchoCanceller(EchoReference& reference, SpeexEchoState_* echo,
                               SpeexPreprocessState_* pre, int tailSteps, int scale)
    : m_reference(reference), m_echo(echo), m_pre(pre), m_tailSteps(tailSteps), m_scale(scale) {}

CEchoCanceller::~CEchoCanceller() {
    speex_preprocess_state_destroy(m_pre);
    speex_echo_state_destroy(m_echo);
}

void CEchoCanceller::Process(int16_t* samples, int count, uint64_t referenceEnd) {
    if (count <= 0 || count % STEP_SAMPLES != 0)
        return;
    const uint64_t n = static_cast<uint64_t>(count);
    const uint64_t before = n + static_cast<uint64_t>(MARGIN_SAMPLES * m_scale);
    Align(referenceEnd > before ? referenceEnd - before : 0, n);
    int16_t reference[STEP_SAMPLES];
    int16_t cleaned[STEP_SAMPLES];
    for (int offset = 0; offset < count; offset += STEP_SAMPLES) {
        m_reference.Read(m_cursor, reference, STEP_SAMPLES);
        // After a step back, audio the filter has seen already counts as silence: feeding
        // it twice would teach the filter an echo that is not there.
        if (m_cursor < m_fedUpTo) {
            const auto seen = std::min<uint64_t>(m_fedUpTo - m_cursor, STEP_SAMPLES);
            std::fill_n(reference, seen, int16_t{0});
        }
        m_cursor += STEP_SAMPLES;
        m_fedUpTo = std::max(m_fedUpTo, m_cursor);
        // Once the filter has been fed a whole tail of far-end silence, its history holds
        // nothing but silence and the filter can take nothing away; most of the work is
        // spared until the far end speaks again (the preprocessor still denoises).
        const bool quiet = std::all_of(reference, reference + STEP_SAMPLES, [](int16_t x) {
            return x >= -QUIET_PEAK && x <= QUIET_PEAK;
        });
        m_quietSteps = quiet ? m_quietSteps + 1 : 0;
        const bool skip = m_quietSteps > m_tailSteps;
        if (skip != m_skipping) {
            // Nor is there a residual echo for the suppressor to look for meanwhile.
            speex_preprocess_ctl(m_pre, SPEEX_PREPROCESS_SET_ECHO_STATE, skip ? nullptr : m_echo);
            m_skipping = skip;
        }
        if (skip)
            std::memcpy(cleaned, samples + offset, sizeof cleaned);
        else
            speex_echo_cancellation(m_echo, samples + offset, reference, cleaned);
        speex_preprocess_run(m_pre, cleaned);
        std::memcpy(samples + offset, cleaned, sizeof cleaned);
    }
}

void CEchoCanceller::Align(uint64_t target, uint64_t count) {
    if (!m_started) {
        m_started = true;
        MoveTo(target);
        return;
    }
    // The window must lie within what the loudspeakers have been handed: past it the ring
    // holds nothing yet, and silence paired with audio a loudspeaker did play teaches the
    // filter an echo path that is not there. (While no loudspeaker runs, silence is true.)
    const uint64_t handed = m_reference.Position();
    const bool playing = handed != m_handedBefore;
    m_handedBefore = handed;
    if (playing && m_cursor + count > handed) {
        MoveTo(std::min(target, handed - std::min(handed, count)));
        return;
    }
    const int64_t lag = static_cast<int64_t>(target) - static_cast<int64_t>(m_cursor);
    m_leastLag = m_lagRun == 0 ? lag : std::min(m_leastLag, lag);
    m_lagRun += static_cast<int>(count);
    if (m_lagRun < SETTLE_SAMPLES * m_scale)
        return;
    m_lagRun = 0;
    if (m_leastLag > RESYNC_SAMPLES * m_scale)
        MoveTo(m_cursor + static_cast<uint64_t>(m_leastLag));
}

void CEchoCanceller::MoveTo(uint64_t cursor) {
    // What the filter learnt belongs to the old alignment: it would cancel the echo at
    // the wrong delay, and unlearning that takes longer than learning afresh.
    if (m_resyncs > 0)
        speex_echo_state_reset(m_echo);
    m_cursor = cursor;
    m_lagRun = 0;
    ++m_resyncs;
}
