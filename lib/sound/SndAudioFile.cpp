#include "lib/sound/SndAudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>

#include "lib/sound/SndSoundEngine.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"

std::string SndUtilities::fullPathFromRelativePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    const size_t slash = path.rfind('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash);
    if (file.empty()) return path;
    if (directory.empty()) {
        if (auto found = foundation::bundlePath(file); found && !foundation::isDirectory(*found)) return *found;
        return path;
    }
    const std::string candidate = foundation::joinPath(foundation::joinPath(foundation::bundleDir(), directory), file);
    if (foundation::fileExists(candidate) && !foundation::isDirectory(candidate)) return candidate;
    return path;
}

namespace {

struct SoundFile {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    explicit SoundFile(const std::string& path) { file = sf_open(path.c_str(), SFM_READ, &info); }
    ~SoundFile() {
        if (file) sf_close(file);
    }
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;
};

std::string extensionOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return "";
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

bool isBigEndian(const SF_INFO& info) {
    const int endian = info.format & SF_FORMAT_ENDMASK;
    if (endian == SF_ENDIAN_BIG) return true;
    if (endian == SF_ENDIAN_LITTLE) return false;
    switch (info.format & SF_FORMAT_TYPEMASK) {
        // Containers whose samples are big-endian unless they say otherwise.
        case SF_FORMAT_AIFF:
        case SF_FORMAT_AU:
        case SF_FORMAT_CAF:
        case SF_FORMAT_SVX:
        case SF_FORMAT_MAT4:
        case SF_FORMAT_MAT5:
            return true;
        default:
            return false;
    }
}

// Byte count of `frames` frames of `bytesPerFrame`, or -1 when it does not
// fit the sizes OpenAL takes.
long long checkedByteCount(sf_count_t frames, long long bytesPerFrame) {
    if (frames < 0 || bytesPerFrame <= 0) return -1;
    if (frames > std::numeric_limits<ALsizei>::max() / bytesPerFrame) return -1;
    return frames * bytesPerFrame;
}

// Every refusal says which file and why on the error stream.
std::nullopt_t refuse(const std::string& path, const std::string& why) {
    foundation::warn("sound: \"%s\" refused: %s", path.c_str(), why.c_str());
    return std::nullopt;
}

std::nullopt_t refuseOpen(const std::string& path) {
    return refuse(path, std::string("cannot be read as a sound file (") + sf_strerror(nullptr) + ")");
}

}  // namespace

std::optional<SndAudioData> SndGetAudioData(const std::string& path) {
    const std::string ext = extensionOf(path);
    if (ext.empty() || ext == "wav") return SndReadLinearPCMFile(path);
    return SndReadConvertedAudioFile(path);
}

std::optional<SndAudioData> SndReadLinearPCMFile(const std::string& path) {
    SoundFile f(path);
    if (!f.file) return refuseOpen(path);
    const int subtype = f.info.format & SF_FORMAT_SUBMASK;
    int bits;
    switch (subtype) {
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_S8:
            bits = 8;
            break;
        case SF_FORMAT_PCM_16:
            bits = 16;
            break;
        default:
            return refuse(path, "samples are not 8- or 16-bit linear PCM");
    }
    const int channels = f.info.channels;
    if (channels < 1 || channels > 2)
        return refuse(path, std::to_string(channels) + " channels (mono or stereo are played)");
    if (isBigEndian(f.info)) return refuse(path, "big-endian samples (little-endian are played)");
    if (f.info.samplerate <= 0) return refuse(path, "no sample rate");
    const long long bytes = checkedByteCount(f.info.frames, (long long)channels * (bits / 8));
    if (bytes < 0) return refuse(path, "more samples than a sound buffer holds");

    SndAudioData out;
    out.samples.assign(size_t(bytes), 0);
    const sf_count_t got = bytes > 0 ? sf_read_raw(f.file, out.samples.data(), bytes) : 0;
    if (got < 0) return refuse(path, "the samples cannot be read");
    out.samples.resize(size_t(got));
    // OpenAL's 8-bit formats are unsigned; signed 8-bit data is shifted to match.
    if (subtype == SF_FORMAT_PCM_S8) {
        for (auto& b : out.samples) b ^= 0x80;
    }
    out.size = ALsizei(got);
    out.format = AL_FORMAT_MONO8 + (channels == 2 ? 2 : 0) + (bits == 16 ? 1 : 0);
    out.sampleRate = ALsizei(f.info.samplerate);
    return out;
}

std::optional<SndAudioData> SndReadConvertedAudioFile(const std::string& path) {
    SoundFile f(path);
    if (!f.file) return refuseOpen(path);
    const int channels = f.info.channels;
    if (channels < 1 || channels > 2)
        return refuse(path, std::to_string(channels) + " channels (mono or stereo are played)");
    if (f.info.samplerate <= 0) return refuse(path, "no sample rate");
    const long long bytesPerFrame = 2LL * channels;
    const long long bytes = checkedByteCount(f.info.frames, bytesPerFrame);
    if (bytes < 0) return refuse(path, "more samples than a sound buffer holds");

    SndAudioData out;
    out.samples.assign(size_t(bytes), 0);
    const sf_count_t got =
        f.info.frames > 0 ? sf_readf_short(f.file, reinterpret_cast<short*>(out.samples.data()), f.info.frames) : 0;
    if (got < 0 || sf_error(f.file) != SF_ERR_NO_ERROR)
        return refuse(path, std::string("the samples cannot be read (") + sf_strerror(f.file) + ")");
    out.samples.resize(size_t(got * bytesPerFrame));
    out.size = ALsizei(got * bytesPerFrame);
    out.format = channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
    out.sampleRate = ALsizei(f.info.samplerate);
    return out;
}

void SndAsynchBufferLoader::main() {
    soundEngine_->setAsynchLoadProgress(0.0f);
    if (!loadRequests_.empty()) {
        const float share = 1.0f / float(loadRequests_.size());
        for (const auto& request : loadRequests_) {
            soundEngine_->loadBuffer(request.soundId(), request.filePath());
            soundEngine_->setAsynchLoadProgress(soundEngine_->asynchLoadProgress() + share);
        }
    }
    soundEngine_->setAsynchLoadProgress(1.0f);
    foundation::NotificationCenter::defaultCenter().post(kSndN_AsynchLoadComplete);
}
