#pragma once
// The sound-effect engine: short sounds held in OpenAL buffers, addressed by
// small integer sound ids, played on up to 32 OpenAL sources that are divided
// into source groups. A play request takes a free source of its group in
// round-robin order.
//
// The engine is made with create() and shared; everything but loading is for
// the main thread. Loading (loadBufferFromData, loadBuffer and the background
// loader) may run on another thread at the same time: every access to the
// buffer table and the source slots is serialised on one lock.

#include <AL/al.h>
#include <AL/alc.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lib/sound/SndProtocols.h"
#include "platform/foundation/Value.h"

class SndSoundSource;
class SndBufferLoadRequest;

// Play results that are not source names.
inline constexpr ALuint kSndSoundMuted = 0xFEEDBAB;  // engine or group off, or sound not loaded
inline constexpr ALuint kSndNoSource = 0xFEEDFAC;    // no free source, or playback failed

class SndSoundEngine : public SndAudioInterruptProtocol, public std::enable_shared_from_this<SndSoundEngine> {
public:
    static constexpr int kMaxSources = 32;
    static constexpr int kInitialBufferTotal = 64;
    static constexpr int kBufferGrowth = 16;

    // Buffer entry states.
    enum BufferState { kBufferEmpty = 0, kBufferLoaded = 1, kBufferFailed = 2 };

    // Records the mixer rate used when the next engine opens its device.
    static void setMixerSampleRate(float hz);
    // How the engine opens its OpenAL device (alcOpenDevice unless replaced;
    // nullptr restores it). Lets a test see an engine without a device.
    using DeviceOpener = std::function<ALCdevice*(const ALCchar*)>;
    static void setDeviceOpener(DeviceOpener opener);

    // A new engine; functioning() tells whether OpenAL could be opened.
    static std::shared_ptr<SndSoundEngine> create();
    ~SndSoundEngine() override;
    SndSoundEngine(const SndSoundEngine&) = delete;
    SndSoundEngine& operator=(const SndSoundEngine&) = delete;

    bool functioning() const { return functioning_; }
    bool getGainWorks() const { return getGainWorks_; }
    int sourceTotal() const { return sourceTotal_; }
    unsigned sourceGroupTotal() const { return unsigned(sourceGroups_.size()); }
    int lastErrorCode() const { return lastErrorCode_.load(); }
    int bufferTotal() const;
    float asynchLoadProgress() const { return asynchLoadProgress_.load(); }
    void setAsynchLoadProgress(float progress) { asynchLoadProgress_.store(progress); }
    ALCcontext* openALContext() const { return context_; }

    // Stops every sound and replaces the groups. Refused (false, the old
    // groups kept) when a size is negative or the sizes add up to more than
    // sourceTotal().
    bool defineSourceGroups(const int* sizes, int total);
    bool defineSourceGroups(const std::vector<int>& sizes) {
        return defineSourceGroups(sizes.data(), int(sizes.size()));
    }
    // An array of numbers; an element that is not a number counts as 0.
    bool defineSourceGroupsFromArray(const foundation::Value& sizes);
    // Size of a group (-1 for an id outside the table).
    int sourceGroupSize(int groupId) const;

    // The OpenAL source name that plays, or kSndSoundMuted / kSndNoSource.
    ALuint playSound(int soundId, int sourceGroupId, float pitch, float pan, float gain, bool loop);
    // A source of the group locked for the caller with the sound attached, or
    // nullptr. Round-robin play does not take the source while it lives.
    std::shared_ptr<SndSoundSource> soundSourceForSound(int soundId, int sourceGroupId);

    void stopSound(ALuint sourceName);
    void stopSourceGroup(int sourceGroupId);
    void stopAllSounds();

    void setSourceGroupNonInterruptible(int sourceGroupId, bool nonInterruptible);
    // true lets the group play, false silences it (every play answers
    // kSndSoundMuted and its sounds stop).
    void setSourceGroupEnabled(int sourceGroupId, bool enabled);
    // false for a silenced group and for an id outside the table.
    bool sourceGroupEnabled(int sourceGroupId) const;

    // Hands decoded samples to OpenAL (which copies them) as sound `soundId`;
    // the table grows in steps of 16 to make room for the id.
    bool loadBufferFromData(int soundId, const void* data, ALenum format, ALsizei size, ALsizei freq);
    // Decodes a file (relative names are looked up in the bundle) into the sound.
    bool loadBuffer(int soundId, const std::string& filePath);
    // Loads the files on a thread of their own, updating asynchLoadProgress()
    // and posting kSndN_AsynchLoadComplete (on that thread) when done.
    void loadBuffersAsynchronously(const std::vector<SndBufferLoadRequest>& requests);
    bool unloadBuffer(int soundId);
    bool validateBufferId(int soundId) const;
    // -1 for an id that holds no loaded sound.
    float bufferDurationInSeconds(int soundId) const;
    int bufferSizeInBytes(int soundId) const;
    int bufferFrequencyInHertz(int soundId) const;
    int bufferState(int soundId) const;  // -1 outside the table

    float masterGain() const;
    void setMasterGain(float gain);
    bool mute() const override { return mute_; }
    void setMute(bool mute) override;
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;

    // Index of the slot holding the source name (-1 when none).
    int sourceIndexForName(ALuint sourceName) const;
    ALuint sourceNameForIndex(int sourceIndex) const;

private:
    friend class SndSoundSource;
    struct BufferInfo {
        ALuint alBuffer = 0;
        int state = kBufferEmpty;
        ALenum format = 0;
        int byteSize = 0;
        int sampleRate = 0;
    };
    struct SourceInfo {
        bool usable = false;
        ALuint alSource = 0;
        ALuint attachedBuffer = 0;
    };
    struct SourceGroup {
        int nextStart = 0;
        int cursor = 0;
        int size = 0;
        bool silenced = false;
        bool nonInterruptible = false;
        std::vector<int> slots;  // source index * 2, plus 1 while locked
    };

    SndSoundEngine();
    bool initOpenAL();
    void generateBuffers(int first, int last);
    void generateSources();
    void testGetGain();
    void setUpSourceGroups(const int* sizes, int total);
    int sourceIndexForSourceGroup(int groupId);
    bool resizeBuffers(int soundId);
    bool unloadBufferLocked(int soundId);
    bool validLocked(int soundId) const;
    void stopSourceLocked(int index);

    bool attachSourceToBuffer(SndSoundSource* source, int soundId);
    void soundSourcePreRelease(SndSoundSource* source);
    void lockSource(int sourceIndex, bool lock);

    mutable std::recursive_mutex mutexBufferLoad_;
    std::mutex asynchMutex_;
    struct Loader {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Loader> loaders_;

    SourceInfo sources_[kMaxSources];
    bool getGainWorks_ = false;
    int sourceTotal_ = 0;
    std::vector<BufferInfo> buffers_;
    ALCcontext* context_ = nullptr;
    ALCdevice* device_ = nullptr;
    std::atomic<int> lastErrorCode_{0};
    std::vector<SourceGroup> sourceGroups_;
    std::atomic<float> asynchLoadProgress_{0};
    bool functioning_ = false;
    float preMuteGain_ = 1.0f;
    bool mute_ = false;
    bool enabled_ = true;
};
