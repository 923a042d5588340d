#pragma once
// Audio files to decoded samples: the path rule of the audio classes, the two
// readers, and the loader that fills the engine's buffers in the background.

#include <AL/al.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SndSoundEngine;

class SndUtilities {
public:
    // An absolute path comes back unchanged. A relative one names a bundle
    // resource: "sounds/hit.wav" is hit.wav in the bundle's sounds folder,
    // "hit.wav" is found at the bundle's top or in one of its folders. A name
    // the bundle lacks comes back unchanged.
    static std::string fullPathFromRelativePath(const std::string& path);
};

// Decoded audio: interleaved samples, their OpenAL format (AL_FORMAT_MONO8,
// _MONO16, _STEREO8 or _STEREO16) and the sample rate in whole Hz.
struct SndAudioData {
    std::vector<uint8_t> samples;
    ALenum format = 0;
    ALsizei size = 0;
    ALsizei sampleRate = 0;
};

// Files with no extension or the extension "wav" (any case) are read as
// they are by SndReadLinearPCMFile; anything else is decoded to 16-bit by
// SndReadConvertedAudioFile. nullopt when the file cannot be used.
std::optional<SndAudioData> SndGetAudioData(const std::string& path);
// Little-endian linear PCM only, 8 or 16 bits, one or two channels.
std::optional<SndAudioData> SndReadLinearPCMFile(const std::string& path);
// Anything the decoder reads (WAV, CAF, AIFF, FLAC, OGG, MP3, ...), one or
// two channels, converted to signed 16-bit.
std::optional<SndAudioData> SndReadConvertedAudioFile(const std::string& path);

class SndBufferLoadRequest {
public:
    SndBufferLoadRequest(int soundId, std::string filePath) : filePath_(std::move(filePath)), soundId_(soundId) {}
    const std::string& filePath() const { return filePath_; }
    int soundId() const { return soundId_; }

private:
    std::string filePath_;
    int soundId_;
};

// Loads a list of files into an engine, in order, advancing the engine's
// progress by an equal share per file whether or not it loaded, then sets it
// to 1 and posts kSndN_AsynchLoadComplete. The engine waits for a running
// loader before it goes away.
class SndAsynchBufferLoader {
public:
    SndAsynchBufferLoader(std::vector<SndBufferLoadRequest> requests, SndSoundEngine* engine)
        : loadRequests_(std::move(requests)), soundEngine_(engine) {}
    void main();

private:
    std::vector<SndBufferLoadRequest> loadRequests_;
    SndSoundEngine* soundEngine_;
};
