#include "lib/sound/SndSoundEngine.h"

#include <algorithm>
#include <cmath>

#include "lib/sound/SndAudioFile.h"
#include "lib/sound/SndSoundSource.h"
#include "platform/audio/AudioOutput.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"

namespace {

std::mutex gModuleMutex;
float gMixerRate = 0;
bool gMixerRateSet = false;
SndSoundEngine::DeviceOpener gDeviceOpener;
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("sound.engineSettings", foundation::ResetPhase::Service,
                                  [] {
                                      std::lock_guard<std::mutex> lock(gModuleMutex);
                                      gMixerRate = 0;
                                      gMixerRateSet = false;
                                      gDeviceOpener = nullptr;
                                  }),
     true);

using MixerRateFn = ALvoid (*)(const ALdouble);
MixerRateFn gMixerRateFn = nullptr;

// Hands the rate to the platform's mixer-rate extension when it has one; the
// lookup is tried again on the next use while it is missing.
void setMixerRate(float hz) {
    if (!gMixerRateFn) {
        gMixerRateFn = reinterpret_cast<MixerRateFn>(alcGetProcAddress(nullptr, "alcMacOSXMixerOutputRate"));
    }
    if (gMixerRateFn) gMixerRateFn(double(hz));
}

void clearError() { alGetError(); }

}  // namespace

void SndSoundEngine::setMixerSampleRate(float hz) {
    std::lock_guard<std::mutex> lock(gModuleMutex);
    gMixerRate = hz;
    gMixerRateSet = true;
}

void SndSoundEngine::setDeviceOpener(DeviceOpener opener) {
    std::lock_guard<std::mutex> lock(gModuleMutex);
    gDeviceOpener = std::move(opener);
}

std::shared_ptr<SndSoundEngine> SndSoundEngine::create() { return std::shared_ptr<SndSoundEngine>(new SndSoundEngine); }

SndSoundEngine::SndSoundEngine() {
    buffers_.resize(kInitialBufferTotal);
    if (initOpenAL()) {
        const int all = sourceTotal_;
        setUpSourceGroups(&all, 1);
        functioning_ = true;
        preMuteGain_ = masterGain();
        mute_ = false;
        enabled_ = true;
        testGetGain();
    } else {
        functioning_ = false;
    }
}

bool SndSoundEngine::initOpenAL() {
    context_ = nullptr;
    float rate;
    DeviceOpener opener;
    {
        std::lock_guard<std::mutex> lock(gModuleMutex);
        if (!gMixerRateSet) {
            gMixerRate = 44100;
            gMixerRateSet = true;
        }
        rate = gMixerRate;
        opener = gDeviceOpener;
    }
    setMixerRate(rate);
    device_ = opener ? opener(nullptr) : audio::openOutputDevice();
    if (!device_) return false;
    // Without the mixer-rate extension the rate is asked of the context.
    const ALCint attributes[] = {ALC_FREQUENCY, ALCint(rate), 0};
    context_ = alcCreateContext(device_, gMixerRateFn ? nullptr : attributes);
    if (context_) {
        alcMakeContextCurrent(context_);
        generateBuffers(0, int(buffers_.size()) - 1);
        generateSources();
    }
    clearError();
    return true;
}

void SndSoundEngine::generateBuffers(int first, int last) {
    for (int i = first; i <= last; ++i) {
        BufferInfo& b = buffers_[size_t(i)];
        b = BufferInfo{};
        alGenBuffers(1, &b.alBuffer);
        b.state = alGetError() == AL_NO_ERROR ? kBufferEmpty : kBufferFailed;
    }
}

void SndSoundEngine::generateSources() {
    sourceTotal_ = 0;
    clearError();
    while (sourceTotal_ < kMaxSources) {
        SourceInfo& s = sources_[sourceTotal_];
        alGenSources(1, &s.alSource);
        if (alGetError() != AL_NO_ERROR) {
            s.usable = false;
            break;
        }
        alSourcei(s.alSource, AL_BUFFER, 0);
        if (alGetError() != AL_NO_ERROR) break;
        s.usable = true;
        ++sourceTotal_;
    }
    for (int i = sourceTotal_; i < kMaxSources; ++i) sources_[i].usable = false;
}

void SndSoundEngine::testGetGain() {
    if (sourceTotal_ == 0) return;
    const ALuint s = sources_[0].alSource;
    alSourcef(s, AL_GAIN, 0.0f);
    alSourcef(s, AL_GAIN, 0.7f);
    ALfloat got = 0;
    alGetSourcef(s, AL_GAIN, &got);
    getGainWorks_ = got == 0.7f;
    clearError();
}

SndSoundEngine::~SndSoundEngine() {
    // Loaders still running hold work for this engine: let them finish.
    {
        std::lock_guard<std::mutex> lock(asynchMutex_);
        for (auto& l : loaders_) {
            if (!l.thread.joinable()) continue;
            // An observer of the completion that drops the last reference
            // ends the engine on the loader's own thread.
            if (l.thread.get_id() == std::this_thread::get_id()) {
                l.thread.detach();
            } else {
                l.thread.join();
            }
        }
        loaders_.clear();
    }
    if (!device_) return;
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (context_) {
        // Another engine's context that is current stays current afterwards.
        ALCcontext* previous = alcGetCurrentContext();
        if (previous != context_) alcMakeContextCurrent(context_);
        stopAllSounds();
        sourceGroups_.clear();
        for (int i = 0; i < sourceTotal_; ++i) {
            alSourcei(sources_[i].alSource, AL_BUFFER, 0);
            alDeleteSources(1, &sources_[i].alSource);
            lastErrorCode_ = alGetError();
        }
        for (auto& b : buffers_) {
            alDeleteBuffers(1, &b.alBuffer);
            clearError();
        }
        alcMakeContextCurrent(previous == context_ ? nullptr : previous);
        alcDestroyContext(context_);
    }
    buffers_.clear();
    alcCloseDevice(device_);
}

int SndSoundEngine::bufferTotal() const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    return int(buffers_.size());
}

// Source groups -------------------------------------------------------------

void SndSoundEngine::setUpSourceGroups(const int* sizes, int total) {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    sourceGroups_.assign(size_t(total), SourceGroup{});
    int s = 0;
    for (int i = 0; i < total; ++i) {
        SourceGroup& g = sourceGroups_[size_t(i)];
        g.size = sizes[i];
        g.slots.resize(size_t(g.size));
        for (int j = 0; j < g.size; ++j) g.slots[size_t(j)] = (s + j) * 2;
        s += g.size;
    }
}

bool SndSoundEngine::defineSourceGroups(const int* sizes, int total) {
    if (total < 0 || (total > 0 && !sizes)) return false;
    long sum = 0;
    for (int i = 0; i < total; ++i) {
        if (sizes[i] < 0) return false;
        sum += sizes[i];
    }
    // More sources than the engine has would index past its source table.
    if (sum > sourceTotal_) return false;
    stopAllSounds();
    setUpSourceGroups(sizes, total);
    return true;
}

bool SndSoundEngine::defineSourceGroupsFromArray(const foundation::Value& sizes) {
    const foundation::Array* array = sizes.asArray();
    if (!array) return false;
    std::vector<int> ints;
    for (const auto& v : *array) ints.push_back(v.isNumber() ? v.intValue() : 0);
    return defineSourceGroups(ints);
}

int SndSoundEngine::sourceGroupSize(int groupId) const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (groupId < 0 || groupId >= int(sourceGroups_.size())) return -1;
    return sourceGroups_[size_t(groupId)].size;
}

int SndSoundEngine::sourceIndexForSourceGroup(int groupId) {
    if (groupId < 0 || groupId >= int(sourceGroups_.size())) return -1;
    SourceGroup& g = sourceGroups_[size_t(groupId)];
    if (g.size <= 0) return -1;
    int result = -1;
    g.cursor = g.nextStart;
    do {
        const int slot = g.slots[size_t(g.cursor)];
        if ((slot & 1) == 0) {
            const int index = slot / 2;
            bool take = true;
            if (g.nonInterruptible) {
                ALint state = AL_INITIAL;
                alGetSourcei(sources_[index].alSource, AL_SOURCE_STATE, &state);
                take = state != AL_PLAYING;
            }
            if (take) {
                result = index;
                g.nextStart = g.cursor + 1;
                break;
            }
        }
        g.cursor = (g.cursor + 1) % g.size;
    } while (g.cursor != g.nextStart);
    if (g.nextStart >= g.size) g.nextStart = 0;
    return result;
}

// Playing -------------------------------------------------------------------

ALuint SndSoundEngine::playSound(int soundId, int sourceGroupId, float pitch, float pan, float gain, bool loop) {
    if (!enabled_ || !functioning_) return kSndSoundMuted;
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (!validLocked(soundId)) return kSndSoundMuted;
    if (sourceGroupId < 0 || sourceGroupId >= int(sourceGroups_.size())) return kSndNoSource;
    if (sourceGroups_[size_t(sourceGroupId)].silenced) return kSndSoundMuted;

    const int index = sourceIndexForSourceGroup(sourceGroupId);
    if (index < 0) return kSndNoSource;
    const ALuint source = sources_[index].alSource;
    const ALuint buffer = buffers_[size_t(soundId)].alBuffer;

    clearError();
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) alSourceStop(source);
    alSourcei(source, AL_BUFFER, ALint(buffer));
    alSourcef(source, AL_PITCH, pitch);
    alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcef(source, AL_GAIN, gain);
    alSource3f(source, AL_POSITION, pan, 0.0f, 0.0f);
    clearError();
    alSourcePlay(source);
    lastErrorCode_ = alGetError();
    if (lastErrorCode_ == AL_NO_ERROR) {
        sources_[index].attachedBuffer = buffer;
        return source;
    }
    if (!alcGetCurrentContext()) foundation::NotificationCenter::defaultCenter().post(kSndN_BadAlContext);
    return kSndNoSource;
}

std::shared_ptr<SndSoundSource> SndSoundEngine::soundSourceForSound(int soundId, int sourceGroupId) {
    if (!functioning_) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    const int index = sourceIndexForSourceGroup(sourceGroupId);
    if (index < 0) return nullptr;
    auto source =
        std::shared_ptr<SndSoundSource>(new SndSoundSource(sources_[index].alSource, index, weak_from_this()));
    lockSource(index, true);
    if (!attachSourceToBuffer(source.get(), soundId)) return nullptr;  // releasing it unlocks the slot
    source->setPitch(1.0f);
    source->setPan(0.0f);
    source->setGain(1.0f);
    source->setLooping(false);
    return source;
}

bool SndSoundEngine::attachSourceToBuffer(SndSoundSource* source, int soundId) {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    // Only a loaded sound can be attached: an empty entry has no samples and
    // an id outside the table has no buffer at all.
    if (!validLocked(soundId)) return false;
    const int index = int(source->sourceIndex());
    stopSourceLocked(index);
    clearError();
    const ALuint buffer = buffers_[size_t(soundId)].alBuffer;
    alSourcei(source->sourceId(), AL_BUFFER, ALint(buffer));
    lastErrorCode_ = alGetError();
    if (lastErrorCode_ != AL_NO_ERROR) return false;
    sources_[index].attachedBuffer = buffer;
    source->soundId_ = soundId;
    return true;
}

void SndSoundEngine::soundSourcePreRelease(SndSoundSource* source) { lockSource(int(source->sourceIndex()), false); }

void SndSoundEngine::lockSource(int sourceIndex, bool lock) {
    std::lock_guard<std::recursive_mutex> guard(mutexBufferLoad_);
    for (auto& g : sourceGroups_) {
        for (auto& slot : g.slots) {
            if (slot / 2 == sourceIndex) {
                slot = lock ? (slot | 1) : (slot & ~1);
                return;
            }
        }
    }
}

void SndSoundEngine::stopSourceLocked(int index) {
    ALint state = AL_INITIAL;
    alGetSourcei(sources_[index].alSource, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) alSourceStop(sources_[index].alSource);
}

int SndSoundEngine::sourceIndexForName(ALuint sourceName) const {
    for (int i = 0; i < sourceTotal_; ++i) {
        if (sources_[i].alSource == sourceName) return i;
    }
    return -1;
}

ALuint SndSoundEngine::sourceNameForIndex(int sourceIndex) const {
    if (sourceIndex < 0 || sourceIndex >= sourceTotal_) return 0;
    return sources_[sourceIndex].alSource;
}

void SndSoundEngine::stopSound(ALuint sourceName) {
    if (!functioning_) return;
    alSourceStop(sourceName);
    clearError();
}

void SndSoundEngine::stopSourceGroup(int sourceGroupId) {
    if (!functioning_) return;
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (sourceGroupId < 0 || sourceGroupId >= int(sourceGroups_.size())) return;
    for (int slot : sourceGroups_[size_t(sourceGroupId)].slots) alSourceStop(sources_[slot / 2].alSource);
    clearError();
}

void SndSoundEngine::stopAllSounds() {
    if (!context_) return;
    for (int i = 0; i < kMaxSources; ++i) {
        if (sources_[i].usable) alSourceStop(sources_[i].alSource);
    }
    clearError();
}

void SndSoundEngine::setSourceGroupNonInterruptible(int sourceGroupId, bool nonInterruptible) {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (sourceGroupId < 0 || sourceGroupId >= int(sourceGroups_.size())) return;
    sourceGroups_[size_t(sourceGroupId)].nonInterruptible = nonInterruptible;
}

void SndSoundEngine::setSourceGroupEnabled(int sourceGroupId, bool enabled) {
    {
        std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
        if (sourceGroupId < 0 || sourceGroupId >= int(sourceGroups_.size())) return;
        sourceGroups_[size_t(sourceGroupId)].silenced = !enabled;
    }
    if (!enabled) stopSourceGroup(sourceGroupId);
}

bool SndSoundEngine::sourceGroupEnabled(int sourceGroupId) const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (sourceGroupId < 0 || sourceGroupId >= int(sourceGroups_.size())) return false;
    return !sourceGroups_[size_t(sourceGroupId)].silenced;
}

// Buffers -------------------------------------------------------------------

bool SndSoundEngine::resizeBuffers(int soundId) {
    const int old = int(buffers_.size());
    const int steps = (soundId - old) / kBufferGrowth + 1;
    const int total = old + steps * kBufferGrowth;
    try {
        buffers_.resize(size_t(total));
    } catch (const std::bad_alloc&) {
        return false;
    }
    generateBuffers(old, total - 1);
    return true;
}

bool SndSoundEngine::loadBufferFromData(int soundId, const void* data, ALenum format, ALsizei size, ALsizei freq) {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (!functioning_ || soundId < 0) return false;
    if (soundId >= int(buffers_.size()) && !resizeBuffers(soundId)) return false;
    BufferInfo& b = buffers_[size_t(soundId)];
    if (!data) {
        b.state = kBufferFailed;
        return false;
    }
    if (b.state != kBufferEmpty && !unloadBufferLocked(soundId)) return false;
    alBufferData(b.alBuffer, format, data, size, freq);
    lastErrorCode_ = alGetError();
    if (lastErrorCode_ != AL_NO_ERROR) {
        b.state = kBufferFailed;
        return false;
    }
    b.format = format;
    b.byteSize = size;
    b.sampleRate = freq;
    b.state = kBufferLoaded;
    return true;
}

bool SndSoundEngine::loadBuffer(int soundId, const std::string& filePath) {
    const std::string path = SndUtilities::fullPathFromRelativePath(filePath);
    if (path.empty()) return false;
    // Decoding takes the time; it runs outside the lock.
    std::optional<SndAudioData> audio = SndGetAudioData(path);
    if (!audio) return loadBufferFromData(soundId, nullptr, 0, 0, 0);
    return loadBufferFromData(soundId, audio->samples.data(), audio->format, audio->size, audio->sampleRate);
}

void SndSoundEngine::loadBuffersAsynchronously(const std::vector<SndBufferLoadRequest>& requests) {
    std::lock_guard<std::mutex> lock(asynchMutex_);
    // Loaders that have ended are joined; running ones go on.
    std::erase_if(loaders_, [](Loader& l) {
        if (!l.done->load()) return false;
        l.thread.join();
        return true;
    });
    asynchLoadProgress_ = 0;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([loader = SndAsynchBufferLoader(requests, this), done]() mutable {
        foundation::setThreadName("snd.loader");
        loader.main();
        done->store(true);
    });
    loaders_.push_back(Loader{std::move(thread), std::move(done)});
}

bool SndSoundEngine::unloadBuffer(int soundId) {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    return unloadBufferLocked(soundId);
}

bool SndSoundEngine::unloadBufferLocked(int soundId) {
    if (soundId < 0 || soundId >= int(buffers_.size())) return false;
    BufferInfo& b = buffers_[size_t(soundId)];
    for (int i = 0; i < kMaxSources; ++i) {
        if (sources_[i].usable && sources_[i].attachedBuffer == b.alBuffer) {
            alSourceStop(sources_[i].alSource);
            lastErrorCode_ = alGetError();
            alSourcei(sources_[i].alSource, AL_BUFFER, 0);
            lastErrorCode_ = alGetError();
            if (lastErrorCode_ == AL_NO_ERROR) sources_[i].attachedBuffer = 0;
        }
    }
    alDeleteBuffers(1, &b.alBuffer);
    lastErrorCode_ = alGetError();
    if (lastErrorCode_ != AL_NO_ERROR) {
        b.state = kBufferFailed;
        return false;
    }
    alGenBuffers(1, &b.alBuffer);
    lastErrorCode_ = alGetError();
    b.format = 0;
    b.byteSize = 0;
    b.sampleRate = 0;
    b.state = lastErrorCode_ == AL_NO_ERROR ? kBufferEmpty : kBufferFailed;
    return b.state == kBufferEmpty;
}

bool SndSoundEngine::validLocked(int soundId) const {
    return soundId >= 0 && soundId < int(buffers_.size()) && buffers_[size_t(soundId)].state == kBufferLoaded;
}

bool SndSoundEngine::validateBufferId(int soundId) const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    return validLocked(soundId);
}

int SndSoundEngine::bufferState(int soundId) const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (soundId < 0 || soundId >= int(buffers_.size())) return -1;
    return buffers_[size_t(soundId)].state;
}

float SndSoundEngine::bufferDurationInSeconds(int soundId) const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    if (!validLocked(soundId)) return -1.0f;
    const BufferInfo& b = buffers_[size_t(soundId)];
    float factor = 0;
    switch (b.format) {
        case AL_FORMAT_MONO8:
            factor = 1.0f;
            break;
        case AL_FORMAT_MONO16:
        case AL_FORMAT_STEREO8:
            factor = 0.5f;
            break;
        case AL_FORMAT_STEREO16:
            factor = 0.25f;
            break;
        default:
            factor = 0;
            break;
    }
    if (b.sampleRate <= 0) return 0;
    return factor * float(b.byteSize) / float(b.sampleRate);
}

int SndSoundEngine::bufferSizeInBytes(int soundId) const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    return validLocked(soundId) ? buffers_[size_t(soundId)].byteSize : -1;
}

int SndSoundEngine::bufferFrequencyInHertz(int soundId) const {
    std::lock_guard<std::recursive_mutex> lock(mutexBufferLoad_);
    return validLocked(soundId) ? buffers_[size_t(soundId)].sampleRate : -1;
}

// Gain, mute and enable -----------------------------------------------------

float SndSoundEngine::masterGain() const {
    if (mute_) return preMuteGain_;
    ALfloat gain = 0;
    alGetListenerf(AL_GAIN, &gain);
    return gain;
}

void SndSoundEngine::setMasterGain(float gain) {
    if (mute_) {
        preMuteGain_ = gain;
    } else {
        alListenerf(AL_GAIN, gain);
    }
}

void SndSoundEngine::setMute(bool mute) {
    if (mute == mute_) return;
    if (mute) {
        ALfloat gain = 0;
        alGetListenerf(AL_GAIN, &gain);
        preMuteGain_ = gain;
        alListenerf(AL_GAIN, 0.0f);
        mute_ = true;
    } else {
        mute_ = false;
        setMasterGain(preMuteGain_);
    }
}

void SndSoundEngine::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (!enabled) stopAllSounds();
}
