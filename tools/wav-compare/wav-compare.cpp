// SPDX-License-Identifier: GPL-3.0-or-later
// wav-compare: how closely a recording of what was heard matches what was
// said, and how late it came, measured on the audio itself.
//
//   wav-compare SAID.wav HEARD.wav [--said-start NS] [--heard-start NS]
//
// SAID is the microphone signal, played in a loop from its start time; HEARD
// is what the far side recorded from its own start time. Both are mono (the
// first channel is taken) at any rates: SAID is first brought to HEARD's rate
// by speexdsp's resampler. The tool finds, by FFT cross-correlation, where in
// the loop the loudest stretch of HEARD (4 s at most) comes from and prints,
// one "key: value" per line:
//   similarity    normalised correlation at the best match (1 = identical)
//   offset        position in SAID matching the window of HEARD, in samples
//                 at HEARD's rate
//   delay_ms      mouth-to-ear delay, when both start times (CLOCK_REALTIME ns)
//                 are given
// Exit status: 0 on a result, 2 on bad input.
#include <sndfile.h>
#include <speex/speex_resampler.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Complex = std::complex<double>;
using Signal = std::vector<double>;

bool ReadMono(const char* path, Signal& out, int& rate) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path, SFM_READ, &info);
    if (!f) {
        std::fprintf(stderr, "wav-compare: cannot read %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    std::vector<double> frames(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_double(f, frames.data(), info.frames);
    sf_close(f);
    out.assign(static_cast<size_t>(got), 0.0);
    for (sf_count_t i = 0; i < got; ++i)
        out[i] = frames[static_cast<size_t>(i) * info.channels]; // first channel
    rate = info.samplerate;
    return true;
}

// In-place iterative radix-2 FFT; `a.size()` is a power of two.
void Fft(std::vector<Complex>& a, bool inverse) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double ang = 2 * M_PI / static_cast<double>(len) * (inverse ? 1 : -1);
        const Complex wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            Complex w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const Complex u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
    if (inverse)
        for (auto& x : a)
            x /= static_cast<double>(n);
}

size_t PowerOfTwoAtLeast(size_t n) {
    size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

// Start of the loudest window of `len` samples, scanned in steps of len/4.
size_t LoudestWindow(const Signal& x, size_t len) {
    size_t best = 0;
    double bestEnergy = -1;
    for (size_t s = 0; s + len <= x.size(); s += std::max<size_t>(1, len / 4)) {
        double e = 0;
        for (size_t i = s; i < s + len; ++i)
            e += x[i] * x[i];
        if (e > bestEnergy) {
            bestEnergy = e;
            best = s;
        }
    }
    return best;
}

// `x` resampled from `from` to `to` Hz. A loop is resampled as one (its end runs
// into its start), anything else as if silence came before and after it.
Signal Resample(const Signal& x, int from, int to, int quality, bool loop) {
    if (from == to)
        return x;
    const size_t n = x.size();
    const size_t pad = std::min(n, static_cast<size_t>(from / 10)); // beyond the filter's reach
    std::vector<float> in(n + 2 * pad);
    for (size_t i = 0; i < in.size(); ++i)
        if (loop || (i >= pad && i < pad + n))
            in[i] = static_cast<float>(x[(i + n - pad) % n]);
    int err = 0;
    SpeexResamplerState* st = speex_resampler_init(1, static_cast<spx_uint32_t>(from),
                                                   static_cast<spx_uint32_t>(to), quality, &err);
    if (!st)
        return {};
    speex_resampler_skip_zeros(st); // output sample 0 is input sample 0, not the filter's delay
    const double ratio = static_cast<double>(to) / from;
    std::vector<float> out(static_cast<size_t>(static_cast<double>(in.size()) * ratio) + 64);
    size_t inDone = 0, outDone = 0;
    while (inDone < in.size()) {
        auto inLen = static_cast<spx_uint32_t>(in.size() - inDone);
        auto outLen = static_cast<spx_uint32_t>(out.size() - outDone);
        speex_resampler_process_float(st, 0, in.data() + inDone, &inLen, out.data() + outDone, &outLen);
        inDone += inLen;
        outDone += outLen;
        if (inLen == 0 && outLen == 0)
            break;
    }
    speex_resampler_destroy(st);
    const auto skip = static_cast<size_t>(std::llround(static_cast<double>(pad) * ratio));
    Signal y(static_cast<size_t>(std::llround(static_cast<double>(n) * ratio)), 0.0);
    for (size_t i = 0; i < y.size() && skip + i < outDone; ++i)
        y[i] = out[skip + i];
    return y;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: wav-compare SAID.wav HEARD.wav [--said-start NS] [--heard-start NS]\n");
        return 2;
    }
    long long saidStart = -1, heardStart = -1;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--said-start") == 0)
            saidStart = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--heard-start") == 0)
            heardStart = std::atoll(argv[i + 1]);
    }
    Signal said, heard;
    int saidRate = 0, heardRate = 0;
    if (!ReadMono(argv[1], said, saidRate) || !ReadMono(argv[2], heard, heardRate))
        return 2;
    if (saidRate <= 0 || heardRate <= 0 || said.size() * 10 < static_cast<size_t>(saidRate) ||
        heard.size() * 10 < static_cast<size_t>(heardRate)) {
        std::fprintf(stderr, "wav-compare: need two recordings of 0.1 s or longer\n");
        return 2;
    }
    // SAID's loop at HEARD's rate, for the correlation.
    const Signal saidH = Resample(said, saidRate, heardRate, SPEEX_RESAMPLER_QUALITY_MAX, true);
    if (saidH.size() < 2) {
        std::fprintf(stderr, "wav-compare: cannot resample %d Hz to %d Hz\n", saidRate, heardRate);
        return 2;
    }
    const size_t loop = saidH.size();
    // A window of HEARD no longer than the loop, from its loudest part.
    const size_t win = std::min({heard.size(), loop, static_cast<size_t>(heardRate) * 4});
    const size_t winStart = LoudestWindow(heard, win);

    // Correlate the window against the looped SAID for every offset of the loop.
    const size_t extLen = win + loop;
    const size_t n = PowerOfTwoAtLeast(extLen);
    std::vector<Complex> a(n), b(n);
    for (size_t i = 0; i < win; ++i)
        a[i] = heard[winStart + i];
    Signal ext(extLen);
    for (size_t i = 0; i < extLen; ++i)
        ext[i] = saidH[i % loop];
    for (size_t i = 0; i < extLen; ++i)
        b[i] = ext[i];
    Fft(a, false);
    Fft(b, false);
    for (size_t i = 0; i < n; ++i)
        a[i] = std::conj(a[i]) * b[i];
    Fft(a, true);

    // Normalise by the energy of both windows (prefix sums for SAID).
    Signal prefix(extLen + 1, 0.0);
    for (size_t i = 0; i < extLen; ++i)
        prefix[i + 1] = prefix[i] + ext[i] * ext[i];
    double heardEnergy = 0;
    for (size_t i = 0; i < win; ++i)
        heardEnergy += heard[winStart + i] * heard[winStart + i];
    double best = -2;
    size_t bestOffset = 0;
    for (size_t o = 0; o < loop; ++o) {
        const double e = prefix[o + win] - prefix[o];
        if (e <= 0 || heardEnergy <= 0)
            continue;
        const double c = a[o].real() / std::sqrt(e * heardEnergy);
        if (c > best) {
            best = c;
            bestOffset = o;
        }
    }
    std::printf("similarity: %.3f\n", std::max(best, 0.0));
    std::printf("offset: %zu\n", bestOffset);
    if (saidStart >= 0 && heardStart >= 0) {
        // HEARD sample winStart was SAID sample bestOffset of some loop; the
        // delay is the one in [0, loop) seconds.
        const double rate = heardRate;
        const double raw = (heardStart - saidStart) / 1e9 + (static_cast<double>(winStart) -
                                                            static_cast<double>(bestOffset)) / rate;
        const double period = static_cast<double>(said.size()) / saidRate;
        double delay = std::fmod(raw, period);
        if (delay < 0)
            delay += period;
        std::printf("delay_ms: %.1f\n", delay * 1000.0);
    }
    return 0;
}
