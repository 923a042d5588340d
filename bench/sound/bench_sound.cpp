// The sound engine on openal-soft's null output (set ALSOFT_DRIVERS=null when
// there is no sound card): play requests in an ordinary and in a
// non-interruptible group, and loading a one-second effect from files.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "lib/sound/SndSoundEngine.h"
#include "platform/foundation/Paths.h"

namespace {

std::string writeTone(const std::string& name, int format) {
    const std::string dir = foundation::joinPath(foundation::homeDir(), "bench");
    foundation::createDirectories(dir);
    const std::string path = foundation::joinPath(dir, name);
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = 44100;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<short> s(44100 * 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = short(std::sin(double(i) * 0.03) * 12000);
    sf_writef_short(f, s.data(), 44100);
    sf_close(f);
    return path;
}

void BM_PlaySound(benchmark::State& state) {
    auto engine = SndSoundEngine::create();
    std::vector<int16_t> s(4410, 100);
    engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, 8820, 44100);
    // A non-interruptible group whose sources all loop is scanned in full on
    // every request before it answers that none is free.
    engine->setSourceGroupNonInterruptible(0, state.range(0) != 0);
    if (state.range(0)) {
        for (int i = 0; i < engine->sourceTotal(); ++i) engine->playSound(0, 0, 1, 0, 0, true);
    }
    for (auto _ : state) benchmark::DoNotOptimize(engine->playSound(0, 0, 1, 0, 0.1f, false));
    state.SetLabel(state.range(0) ? "non-interruptible, all busy" : "round robin");
}
BENCHMARK(BM_PlaySound)->Arg(0)->Arg(1);

void BM_LoadOneSecond(benchmark::State& state) {
    const bool ogg = state.range(0) != 0;
    const std::string path = ogg ? writeTone("tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS)
                                 : writeTone("tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    auto engine = SndSoundEngine::create();
    for (auto _ : state) benchmark::DoNotOptimize(engine->loadBuffer(0, path));
    state.SetLabel(ogg ? "ogg vorbis, 1 s stereo 44.1 kHz" : "wave, 1 s stereo 16-bit 44.1 kHz");
}
BENCHMARK(BM_LoadOneSecond)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("ALSOFT_DRIVERS", "null", 0);
    if (!getenv("QUENTA_HOME")) setenv("QUENTA_HOME", "/tmp/quenta-bench-sound", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
