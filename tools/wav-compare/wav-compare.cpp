// SPDX-License-Identifier: GPL-3.0-or-later
// wav-compare: how closely a recording of what was heard matches what was
// said, how late it came and how much of it came through, measured on the audio itself.
//
//   wav-compare SAID.wav HEARD.wav [--said-start NS] [--heard-start NS]
//
// SAID is the microphone signal, played in a loop from its start time; HEARD
// is what the far side recorded from its own start time. Both are mono (the
// first channel is taken) at any rates: SAID is first brought to HEARD's rate
// by speexdsp's resampler. The tool finds, by FFT cross-correlation, where in
// the loop the loudest stretch of HEARD (4 s at most) comes from, then follows
// that match through the rest of HEARD in blocks of 2 s, each block within
// ±50 ms of its neighbour (by the speech's envelope), so that clocks that
// drift apart or a playback that restarts do not lose it. It prints, one
// "key: value" per line:
//   similarity    normalised correlation at the best match (1 = identical)
//   offset        position in SAID matching the window of HEARD, in samples
//                 at HEARD's rate
//   delay_ms      mouth-to-ear delay, when both start times (CLOCK_REALTIME ns)
//                 are given
//   bandwidth_hz  upper edge of the highest 125 Hz band in which HEARD's
//                 long-term power spectrum is within 10 dB of SAID's, SAID's
//                 taken at its own rate (Hann windows of 64 ms, half
//                 overlapping, where SAID speaks; bands where SAID is more than
//                 50 dB below its strongest are not judged); 0 when SAID never
//                 speaks
//   dropouts      percent (one decimal) of the speech frames that HEARD
//                 carries more than 20 dB below SAID; a speech frame is a
//                 20 ms frame where SAID is within 35 dB of its 95th-percentile
//                 frame. Both are compared at 8 kHz at most, in the band a
//                 narrowband path keeps, so lost highs are not a dropout
//   speech_frames how many speech frames that percentage is over
// The last three look only at HEARD from its first to its last sound: before
// the call connects and after it ends there is nothing to hear.
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
#include <utility>
#include <vector>

namespace {

using Complex = std::complex<double>;
using Signal = std::vector<double>;

// Alignment: one shift per block of HEARD, found within reach of its neighbour's; a
// block whose envelope matches worse than this keeps its neighbour's (silence, loss).
constexpr int kBlockSeconds = 2;
constexpr int kSearchMs = 50;
constexpr double kMinEnvelopeMatch = 0.5;
constexpr size_t kEnvelopeMs = 10;
// Power ratios: speech is within 35 dB of SAID's loud frames, HEARD's sound within
// 40 dB of its own; a dropout is 20 dB down, a band passes within 10 dB, a band of
// SAID counts within 50 dB of its strongest.
constexpr double kSpeechFloor = 3.1622776601683794e-4;
constexpr double kSoundFloor = 1e-4;
constexpr double kDropout = 1e-2;
constexpr double kBandPass = 1e-1;
constexpr double kBandFloor = 1e-5;
constexpr int kFrameRate = 8000; // frames are compared at this rate at most: the narrowband band
// How far off the alignment may be inside a block (envelope steps of 1 ms, a clock
// drifting by 0.1 % across a block): a frame is lost only if HEARD is below SAID at
// every position within it, or a word's first frame, heard a little late, would count.
constexpr double kFrameSlackMs = 2.5;
constexpr double kBandHz = 125;

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

size_t Wrap(long long i, size_t n) {
    const long long m = i % static_cast<long long>(n);
    return static_cast<size_t>(m < 0 ? m + static_cast<long long>(n) : m);
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

// Sums of squares of a signal, for the energy of any stretch of it, its loop included.
class Energy {
public:
    explicit Energy(const Signal& x) : prefix_(x.size() + 1, 0.0) {
        for (size_t i = 0; i < x.size(); ++i)
            prefix_[i + 1] = prefix_[i] + x[i] * x[i];
    }
    // Mean square of `len` samples from `start` (taken modulo the length: the loop).
    double Mean(long long start, size_t len) const {
        const size_t n = prefix_.size() - 1;
        size_t s = Wrap(start, n);
        double sum = 0;
        for (size_t left = len; left > 0; s = 0) {
            const size_t take = std::min(left, n - s);
            sum += prefix_[s + take] - prefix_[s];
            left -= take;
        }
        return len ? std::max(0.0, sum) / static_cast<double>(len) : 0.0;
    }
    size_t Size() const { return prefix_.size() - 1; }

private:
    std::vector<double> prefix_;
};

double Percentile(Signal v, double q) {
    if (v.empty())
        return 0;
    const auto k = static_cast<size_t>(q * static_cast<double>(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return v[k];
}

// Mean square of each whole frame of `x`.
Signal FrameEnergies(const Energy& x, size_t frame) {
    Signal e(x.Size() / frame);
    for (size_t j = 0; j < e.size(); ++j)
        e[j] = x.Mean(static_cast<long long>(j * frame), frame);
    return e;
}

// Where HEARD's samples come from in the SAID loop (at HEARD's rate): sample h
// of HEARD is loop sample h + shift of h's block.
struct Alignment {
    size_t block = 1, loop = 1;
    std::vector<long long> shift;
    // The loop position of HEARD sample h, as a fraction of the loop (the same at any rate).
    double At(size_t h) const {
        const long long s = shift[std::min(h / block, shift.size() - 1)];
        return static_cast<double>(Wrap(static_cast<long long>(h) + s, loop)) / static_cast<double>(loop);
    }
};

// The shift within `reach` steps of `center` at which the envelopes (RMS over
// `width` samples, every `step` samples) of HEARD[start, start + len) and of the
// SAID loop match best, and how well (Pearson correlation). Envelopes, not
// waveforms: a block of wideband speech whose clock drifts by a few samples
// across it still lines up. A width of several pitch periods keeps the voice's
// pitch out of the envelope, which would match one period off as well.
std::pair<long long, double> EnvelopeShift(const Energy& heard, const Energy& said, size_t start,
                                           size_t len, long long center, size_t step, size_t width,
                                           int reach) {
    const size_t m = len > width ? (len - width) / step + 1 : 0;
    if (m < 8)
        return {center, 0};
    Signal h(m), s(m + 2 * static_cast<size_t>(reach));
    double hMean = 0;
    for (size_t i = 0; i < m; ++i)
        hMean += h[i] = std::sqrt(heard.Mean(static_cast<long long>(start + i * step), width));
    hMean /= static_cast<double>(m);
    double hVar = 0;
    for (double& v : h) {
        v -= hMean;
        hVar += v * v;
    }
    const long long origin = static_cast<long long>(start) + center - reach * static_cast<long long>(step);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = std::sqrt(said.Mean(origin + static_cast<long long>(i * step), width));
    if (hVar <= 0)
        return {center, 0};
    Signal r(2 * static_cast<size_t>(reach) + 1, -1.0);
    size_t best = static_cast<size_t>(reach);
    for (size_t lag = 0; lag < r.size(); ++lag) {
        double sum = 0, sumSq = 0, cross = 0;
        for (size_t i = 0; i < m; ++i) {
            sum += s[lag + i];
            sumSq += s[lag + i] * s[lag + i];
            cross += h[i] * s[lag + i];
        }
        const double sVar = sumSq - sum * sum / static_cast<double>(m);
        if (sVar > 0)
            r[lag] = cross / std::sqrt(hVar * sVar);
        if (r[lag] > r[best])
            best = lag;
    }
    double frac = 0; // the peak between envelope steps, from a parabola through its neighbours
    if (best > 0 && best + 1 < r.size()) {
        const double curve = r[best - 1] - 2 * r[best] + r[best + 1];
        if (curve < 0)
            frac = 0.5 * (r[best - 1] - r[best + 1]) / curve;
    }
    const double steps = static_cast<double>(best) - reach + frac;
    return {center + std::llround(steps * static_cast<double>(step)), r[best]};
}

// Follows the match found at HEARD sample `anchor` (shift `anchorShift`) block by
// block to both ends of HEARD.
Alignment Align(const Signal& heard, const Signal& saidLoop, long long anchorShift, size_t anchor,
                int rate) {
    Alignment a;
    a.block = static_cast<size_t>(rate) * kBlockSeconds;
    a.loop = saidLoop.size();
    const size_t blocks = std::max<size_t>(1, heard.size() / a.block);
    a.shift.assign(blocks, static_cast<long long>(Wrap(anchorShift, a.loop)));
    const Energy h(heard), s(saidLoop);
    const size_t step = std::max(1, rate / 1000), width = step * kEnvelopeMs;
    const int reach = static_cast<int>(kSearchMs * rate / 1000 / static_cast<int>(step));
    auto fit = [&](size_t k, long long center, int reach) {
        const size_t start = k * a.block;
        const size_t len = k + 1 == blocks ? heard.size() - start : a.block;
        const auto [shift, match] = EnvelopeShift(h, s, start, len, center, step, width, reach);
        a.shift[k] = match >= kMinEnvelopeMatch ? static_cast<long long>(Wrap(shift, a.loop)) : center;
    };
    // The anchor's block too, searched ten times as far: under a drifting clock the
    // waveform match of a few seconds can land periods off, the envelope's does not.
    const size_t k0 = std::min(blocks - 1, anchor / a.block);
    fit(k0, a.shift[k0], 10 * reach);
    for (size_t k = k0 + 1; k < blocks; ++k)
        fit(k, a.shift[k - 1], reach);
    for (size_t k = k0; k > 0; --k)
        fit(k - 1, a.shift[k], reach);
    return a;
}

// The stretch of HEARD from its first to its last sound, in frames [first, end).
std::pair<size_t, size_t> SoundSpan(const Signal& frames) {
    const double floor = Percentile(frames, 0.95) * kSoundFloor;
    size_t first = 0, end = frames.size();
    while (first < end && !(frames[first] > floor))
        ++first;
    while (end > first && !(frames[end - 1] > floor))
        --end;
    if (first == end) // nothing at all was heard: all of it counts
        return {0, frames.size()};
    return {first, end};
}

struct Dropouts {
    size_t speech = 0, lost = 0;
};

// Speech frames of the aligned SAID and those HEARD lost, both at 8 kHz at most
// (the band any path keeps), over HEARD's frames [first, end) at `frameRate`.
Dropouts CountDropouts(const Signal& saidF, const Signal& heardF, const Alignment& align,
                       int frameRate, int heardRate, size_t frame, std::pair<size_t, size_t> span) {
    const Energy said(saidF), heard(heardF);
    const double speechFloor = Percentile(FrameEnergies(said, frame), 0.95) * kSpeechFloor;
    const double toHeard = static_cast<double>(heardRate) / frameRate;
    const auto slack = std::max(1LL, std::llround(kFrameSlackMs * frameRate / 1000));
    Dropouts d;
    for (size_t j = span.first; j < span.second; ++j) {
        const size_t h = j * frame;
        const double at = align.At(static_cast<size_t>(static_cast<double>(h) * toHeard));
        const long long pos = std::llround(at * static_cast<double>(saidF.size()));
        const double s = said.Mean(pos, frame);
        if (!(s > speechFloor) || s <= 0)
            continue;
        ++d.speech;
        const double least = std::min({s, said.Mean(pos - slack, frame), said.Mean(pos + slack, frame)});
        if (heard.Mean(static_cast<long long>(h), frame) < least * kDropout)
            ++d.lost;
    }
    return d;
}

// Long-term power per band of `kBandHz`, accumulated window by window.
class BandSpectrum {
public:
    BandSpectrum(size_t len, int rate, size_t bands)
        : window_(len), fft_(PowerOfTwoAtLeast(len)), rate_(rate), power_(bands, 0.0) {
        for (size_t i = 0; i < len; ++i)
            window_[i] = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(len));
        for (double w : window_)
            windowEnergy_ += w * w;
    }
    size_t Length() const { return window_.size(); }
    template <typename Sample> void Add(Sample sample) {
        for (size_t i = 0; i < fft_.size(); ++i)
            fft_[i] = i < window_.size() ? sample(i) * window_[i] : 0.0;
        Fft(fft_, false);
        // Each bin's share of the window's mean square: the same scale at any length and rate.
        const double norm = static_cast<double>(fft_.size()) * windowEnergy_;
        for (size_t k = 0; k <= fft_.size() / 2; ++k) {
            const auto band = static_cast<size_t>(static_cast<double>(k) * rate_ /
                                                  static_cast<double>(fft_.size()) / kBandHz);
            if (band < power_.size())
                power_[band] += std::norm(fft_[k]) / norm;
        }
    }
    const Signal& Power() const { return power_; }

private:
    Signal window_;
    double windowEnergy_ = 0;
    std::vector<Complex> fft_;
    int rate_;
    Signal power_;
};

// The upper edge of the highest band where HEARD comes within 10 dB of SAID, over
// HEARD's samples [begin, end), each window of HEARD against the matching SAID at
// its own rate: the spectrum of what was really said, not of its resampled copy.
double Bandwidth(const Signal& said, int saidRate, const Signal& heard, int heardRate,
                 const Alignment& align, size_t begin, size_t end) {
    const auto bands = static_cast<size_t>(saidRate / 2 / kBandHz);
    const double ratio = static_cast<double>(saidRate) / heardRate;
    BandSpectrum h(PowerOfTwoAtLeast(static_cast<size_t>(heardRate) * 64 / 1000), heardRate, bands);
    BandSpectrum s(static_cast<size_t>(std::llround(static_cast<double>(h.Length()) * ratio)), saidRate,
                   bands);
    const Energy saidEnergy(said);
    const double speechFloor =
        Percentile(FrameEnergies(saidEnergy, static_cast<size_t>(saidRate) / 50), 0.95) * kSpeechFloor;
    size_t windows = 0;
    for (size_t h0 = begin; h0 + h.Length() <= end; h0 += h.Length() / 2) {
        const auto s0 = std::llround(align.At(h0) * static_cast<double>(said.size()));
        const double level = saidEnergy.Mean(s0, s.Length());
        if (!(level > speechFloor) || level <= 0)
            continue;
        h.Add([&](size_t i) { return heard[h0 + i]; });
        s.Add([&](size_t i) { return said[Wrap(s0 + static_cast<long long>(i), said.size())]; });
        ++windows;
    }
    if (windows == 0)
        return 0;
    const double strongest = *std::max_element(s.Power().begin(), s.Power().end());
    for (size_t b = bands; b-- > 0;)
        if (s.Power()[b] >= strongest * kBandFloor && s.Power()[b] > 0 &&
            h.Power()[b] >= s.Power()[b] * kBandPass)
            return static_cast<double>(b + 1) * kBandHz;
    return 0;
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
    // SAID's loop at HEARD's rate: everything but the spectrum is measured on it.
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

    const Alignment align = Align(heard, saidH,
                                  static_cast<long long>(bestOffset) - static_cast<long long>(winStart),
                                  winStart + win / 2, heardRate);
    const int frameRate = std::min(heardRate, kFrameRate);
    const size_t frame = static_cast<size_t>(std::max(1, frameRate / 50));
    const Signal saidF = Resample(said, saidRate, frameRate, SPEEX_RESAMPLER_QUALITY_DESKTOP, true);
    const Signal heardF = Resample(heard, heardRate, frameRate, SPEEX_RESAMPLER_QUALITY_DESKTOP, false);
    const auto span = SoundSpan(FrameEnergies(Energy(heardF), frame));
    const double toHeard = static_cast<double>(heardRate) / frameRate;
    const double bandwidth =
        Bandwidth(said, saidRate, heard, heardRate, align,
                  static_cast<size_t>(static_cast<double>(span.first * frame) * toHeard),
                  std::min(heard.size(), static_cast<size_t>(static_cast<double>(span.second * frame) * toHeard)));
    const Dropouts d = CountDropouts(saidF, heardF, align, frameRate, heardRate, frame, span);
    std::printf("bandwidth_hz: %.0f\n", bandwidth);
    std::printf("dropouts: %.1f\n", d.speech ? 100.0 * static_cast<double>(d.lost) / static_cast<double>(d.speech) : 0.0);
    std::printf("speech_frames: %zu\n", d.speech);
    return 0;
}
