#pragma once
// Sound files written by the tests: wave files by hand (so the bytes on disk
// are exactly the ones meant) and other containers through libsndfile.

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace soundtest {

struct WaveSpec {
    int channels = 1;
    int bits = 16;  // 8 (unsigned) or 16, 24
    int rate = 22050;
    int frames = 2205;
    bool bigEndian = false;  // a RIFX file
    bool floatSamples = false;
};

// A tone in a wave file; returns the path.
inline std::string writeWave(const std::string& path, const WaveSpec& spec) {
    const int bytesPerSample = spec.floatSamples ? 4 : spec.bits / 8;
    const uint32_t dataBytes = uint32_t(spec.frames) * uint32_t(spec.channels) * uint32_t(bytesPerSample);
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            const int shift = spec.bigEndian ? 8 * (n - 1 - i) : 8 * i;
            out.push_back(uint8_t(v >> shift));
        }
    };
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    tag(spec.bigEndian ? "RIFX" : "RIFF");
    put(36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(spec.floatSamples ? 3 : 1, 2);
    put(uint32_t(spec.channels), 2);
    put(uint32_t(spec.rate), 4);
    put(uint32_t(spec.rate * spec.channels * bytesPerSample), 4);
    put(uint32_t(spec.channels * bytesPerSample), 2);
    put(uint32_t(spec.floatSamples ? 32 : spec.bits), 2);
    tag("data");
    put(dataBytes, 4);
    for (int f = 0; f < spec.frames; ++f) {
        const double v = std::sin(2 * M_PI * 440.0 * f / spec.rate) * 0.5;
        for (int c = 0; c < spec.channels; ++c) {
            if (spec.floatSamples) {
                float x = float(v);
                uint32_t bits;
                static_assert(sizeof bits == sizeof x);
                __builtin_memcpy(&bits, &x, 4);
                put(bits, 4);
            } else if (spec.bits == 8) {
                put(uint32_t(int(128 + v * 127)), 1);
            } else if (spec.bits == 16) {
                put(uint32_t(uint16_t(int16_t(v * 32767))), 2);
            } else {
                put(uint32_t(int32_t(v * 8388607)) & 0xFFFFFF, 3);
            }
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return "";
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
    return path;
}

// A tone in any container libsndfile writes (format = SF_FORMAT_* bits).
inline std::string writeSoundFile(const std::string& path, int format, int channels, int rate, int frames) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return "";
    std::vector<short> samples(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            samples[size_t(i * channels + c)] = short(std::sin(2 * M_PI * 330.0 * i / rate) * 12000);
        }
    }
    sf_writef_short(f, samples.data(), frames);
    sf_close(f);
    return path;
}

}  // namespace soundtest
