#pragma once
// The one-object facade: background music by file name through the audio
// manager's music channel, and sound effects by file name through the sound
// engine, in source group 0.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lib/sound/SndAudioManager.h"
#include "lib/sound/SndSoundEngine.h"
#include "lib/sound/SndSoundSource.h"

// Gives every effect file a sound id, loads it on first use and reuses the
// ids of unloaded files, last freed first.
class SndBufferManager {
public:
    explicit SndBufferManager(SndSoundEngine* engine) : soundEngine_(engine) {}
    // The file's sound id; -1 when it is not loaded and `create` is false, or
    // when it cannot be loaded (its id is then free again).
    int bufferForFile(const std::string& filePath, bool create);
    void releaseBufferForFile(const std::string& filePath);

    size_t loadedCount() const { return loadedBuffers_.size(); }

private:
    SndSoundEngine* soundEngine_;
    std::map<std::string, int> loadedBuffers_;
    std::vector<int> freedBuffers_;
    int nextBufferId_ = 0;
};

class EasyAudioEngine : public SndAudioInterruptProtocol {
public:
    // The shared facade, made on first use (with the shared audio manager).
    static EasyAudioEngine& sharedEngine();
    // Forgets the facade, the audio manager and the buffer manager.
    static void end();

    EasyAudioEngine(const EasyAudioEngine&) = delete;
    EasyAudioEngine& operator=(const EasyAudioEngine&) = delete;

    void preloadBackgroundMusic(const std::string& filePath);
    // Loops until stopped.
    void playBackgroundMusic(const std::string& filePath);
    void playBackgroundMusic(const std::string& filePath, bool loop);
    void stopBackgroundMusic();
    void pauseBackgroundMusic();
    void resumeBackgroundMusic();
    void rewindBackgroundMusic();
    bool isBackgroundMusicPlaying() const;
    bool willPlayBackgroundMusic() const;

    // The OpenAL source that plays, or kSndSoundMuted when the file cannot
    // be loaded (or the engine is off), or kSndNoSource.
    ALuint playEffect(const std::string& filePath);
    ALuint playEffect(const std::string& filePath, float pitch, float pan, float gain);
    void stopEffect(ALuint soundId);
    void preloadEffect(const std::string& filePath);
    void unloadEffect(const std::string& filePath);
    std::shared_ptr<SndSoundSource> soundSourceForFile(const std::string& filePath);

    bool mute() const override { return mute_; }
    void setMute(bool mute) override;
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;
    float backgroundMusicVolume() const;
    void setBackgroundMusicVolume(float volume);
    float effectsVolume() const;
    void setEffectsVolume(float volume);

    SndBufferManager& bufferManager() { return *bufferManager_; }
    const std::shared_ptr<SndAudioManager>& audioManager() const { return audioManager_; }

private:
    EasyAudioEngine();
    ~EasyAudioEngine() override;
    friend struct std::default_delete<EasyAudioEngine>;

    std::shared_ptr<SndAudioManager> audioManager_;
    std::shared_ptr<SndSoundEngine> soundEngine_;
    std::unique_ptr<SndBufferManager> bufferManager_;
    bool mute_ = false;
    bool enabled_ = true;
};
