// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for voice audio: test signals, byte conversion, correlation, WAV files, ffmpeg.
#include "GsmTestSupport.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace gsmtest {

std::vector<int16_t> MakeSweep(int samples, double amplitude, double f0, double f1) {
    std::vector<int16_t> out(static_cast<size_t>(samples));
    const double duration = samples / 8000.0;
    const double k = std::log(f1 / f0);
    for (int i = 0; i < samples; ++i) {
        const double t = i / 8000.0;
        const double phase =
            2 * std::numbers::pi * f0 * duration / k * (std::exp(t / duration * k) - 1);
        out[static_cast<size_t>(i)] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
    }
    return out;
}

std::vector<int16_t> MakeSpeech(const std::string& text, const std::string& workDir) {
    if (!HaveTool("espeak-ng") || !HaveTool("sox"))
        return {};
    const std::string raw = workDir + "/speech-raw.wav";
    const std::string wav = workDir + "/speech-8k.wav";
    const std::string command = "espeak-ng -w '" + raw + "' '" + text +
                                "' >/dev/null 2>&1 && sox '" + raw + "' -r 8000 -c 1 -b 16 '" +
                                wav + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return {};
    SF_INFO info{};
    SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<int16_t> samples(static_cast<size_t>(info.frames));
    sf_read_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

std::vector<uint8_t> ToBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto v = static_cast<uint16_t>(samples[i]);
        out[2 * i] = static_cast<uint8_t>(v & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return out;
}

std::vector<int16_t> ToSamples(const uint8_t* bytes, int count) {
    std::vector<int16_t> out(static_cast<size_t>(count / 2));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

double BestCorrelation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int maxLag,
                       int* bestLag) {
    double best = -2;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            const long j = static_cast<long>(i) + lag;
            if (j < 0 || j >= static_cast<long>(b.size()))
                continue;
            const double x = a[i], y = b[static_cast<size_t>(j)];
            ab += x * y;
            aa += x * x;
            bb += y * y;
        }
        if (aa <= 0 || bb <= 0)
            continue;
        const double r = ab / std::sqrt(aa * bb);
        if (r > best) {
            best = r;
            if (bestLag != nullptr)
                *bestLag = lag;
        }
    }
    return best;
}

namespace {

void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

} // namespace

bool WriteGsmWav(const std::string& path, const std::vector<uint8_t>& gsm, int samples) {
    std::string fmt;
    Put16(fmt, 0x0031); // GSM 6.10
    Put16(fmt, 1);
    Put32(fmt, 8000);
    Put32(fmt, 1625);
    Put16(fmt, 65);
    Put16(fmt, 0);
    Put16(fmt, 2);   // extra bytes
    Put16(fmt, 320); // samples per block
    std::string body = "WAVE";
    body += "fmt ";
    Put32(body, static_cast<uint32_t>(fmt.size()));
    body += fmt;
    body += "fact";
    Put32(body, 4);
    Put32(body, static_cast<uint32_t>(samples));
    body += "data";
    Put32(body, static_cast<uint32_t>(gsm.size()));
    body.append(reinterpret_cast<const char*>(gsm.data()), gsm.size());
    if (gsm.size() % 2 != 0)
        body.push_back('\0');
    std::string file = "RIFF";
    Put32(file, static_cast<uint32_t>(body.size()));
    file += body;
    std::ofstream out(path, std::ios::binary);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

bool WritePcmWav(const std::string& path, const std::vector<int16_t>& samples, int rate,
                 int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const bool ok = sf_writef_short(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}

bool HaveTool(const std::string& name) {
    const std::string command = "command -v " + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool FfmpegDecode(const std::string& wavPath, const std::string& workDir,
                  std::vector<int16_t>* samples) {
    const std::string raw = workDir + "/ffmpeg-out.raw";
    const std::string command = "ffmpeg -nostdin -v error -y -i '" + wavPath +
                                "' -f s16le -ac 1 -ar 8000 '" + raw + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    std::ifstream in(raw, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    *samples =
        ToSamples(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    return true;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessora-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
        m_path = pattern;
}

TempDir::~TempDir() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

} // namespace gsmtest
