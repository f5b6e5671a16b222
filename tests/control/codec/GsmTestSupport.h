// SPDX-License-Identifier: GPL-3.0-or-later
// Test helpers for voice audio: test signals, byte conversion, correlation, WAV files, ffmpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gsmtest {

constexpr int FRAME_SAMPLES = 960;
constexpr int PCM_FRAME_BYTES = 1920;
constexpr int GSM_FRAME_BYTES = 195;

// A logarithmic tone sweep from f0 to f1 Hz at `amplitude` (full scale 32767).
std::vector<int16_t> MakeSweep(int samples, double amplitude, double f0, double f1);
// Speech made by espeak-ng and taken to 8 kHz mono by sox; empty when either is missing.
std::vector<int16_t> MakeSpeech(const std::string& text, const std::string& workDir);

std::vector<uint8_t> ToBytes(const std::vector<int16_t>& samples);
std::vector<int16_t> ToSamples(const uint8_t* bytes, int count);

// Largest normalised cross-correlation of `a` and `b` over lags -maxLag..maxLag.
double BestCorrelation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int maxLag,
                       int* bestLag = nullptr);

// Writes GSM 6.10 bytes as a WAV of format tag 0x0031 (65-byte blocks of 320 samples).
bool WriteGsmWav(const std::string& path, const std::vector<uint8_t>& gsm, int samples);
// Writes 16-bit PCM at `rate` with `channels` interleaved channels.
bool WritePcmWav(const std::string& path, const std::vector<int16_t>& samples, int rate = 8000,
                 int channels = 1);

bool HaveTool(const std::string& name);
// Decodes a WAV with ffmpeg's own GSM decoder (not libgsm) to 8 kHz mono samples.
bool FfmpegDecode(const std::string& wavPath, const std::string& workDir,
                  std::vector<int16_t>* samples);

// A fresh private folder under the temporary directory, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

} // namespace gsmtest
