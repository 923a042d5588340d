#include "platform/audio/AudioOutput.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace audio {

namespace {

// The ALSA library's error handler type (snd_lib_error_handler_t).
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err, const char* fmt, ...);

void alsaSaysNothing(const char*, int, const char*, int, const char*, ...) {}

bool debugLogAsked() {
    const char* log = std::getenv("QUENTA_LOG");
    return log && std::strcmp(log, "1") == 0;
}

}  // namespace

void quietAudioLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (debugLogAsked()) return;
        // OpenAL reads its log level when it first initialises; a level the
        // user set stays.
        setenv("ALSOFT_LOGLEVEL", "0", 0);
        // OpenAL loads the ALSA library when it tries that output: load it
        // first (the same instance) and give it a handler that says nothing.
        // The library stays loaded for the process.
        if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL)) {
            using SetHandler = int (*)(AlsaErrorHandler);
            if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
                set(&alsaSaysNothing);
        }
    });
}

ALCdevice* openOutputDevice(const char* name) {
    quietAudioLibraries();
    return alcOpenDevice(name);
}

}  // namespace audio
