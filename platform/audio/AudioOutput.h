#pragma once
// The default sound output, opened through OpenAL. Without a sound device the
// audio libraries under OpenAL (its own log and the ALSA library's) explain
// on stderr why each output failed; that is debug output, kept for
// QUENTA_LOG=1 like the app's own debug log, and silenced otherwise.

#include <AL/alc.h>

namespace audio {

// Silences the audio libraries' messages unless QUENTA_LOG=1 asks for them
// (once per process; before the first device is opened).
void quietAudioLibraries();

// alcOpenDevice(name) after quietAudioLibraries(); nullptr when no output
// opens.
ALCdevice* openOutputDevice(const char* name = nullptr);

}  // namespace audio
