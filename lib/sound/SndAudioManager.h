#pragma once
// The owner of the engine's audio: the sound-effect engine and two long-audio
// channels (channel 0 is the background music) that play files through the
// platform's audio player. The mode picks the audio-session category and
// whether background music may play; the manager keeps audio consistent
// across session interruptions, losing and regaining the foreground, and a
// lost OpenAL context.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lib/sound/SndProtocols.h"
#include "lib/sound/SndSoundEngine.h"
#include "platform/audio/AudioPlayer.h"
#include "platform/audio/AudioSession.h"

class SndLongAudioSource;

class SndLongAudioSourceDelegate {
public:
    virtual ~SndLongAudioSourceDelegate() = default;
    virtual void cdAudioSourceDidFinishPlaying(SndLongAudioSource* source) { (void)source; }
    virtual void cdAudioSourceFileDidChange(SndLongAudioSource* source) { (void)source; }
};

// One long sound (music) played from a file by an audio player.
class SndLongAudioSource : public SndAudioInterruptProtocol, private audio::AudioPlayerDelegate {
public:
    SndLongAudioSource();
    ~SndLongAudioSource() override;

    // Loads the file (relative names from the bundle). The same path again
    // pauses and rewinds the loaded player instead of making a new one. A
    // file that cannot be opened leaves no player: transport does nothing.
    void load(const std::string& path);
    void play();
    void stop();
    void pause();
    void rewind();
    void resume();
    bool isPlaying() const;

    float volume() const { return volume_; }
    void setVolume(float volume);
    bool mute() const override { return mute_; }
    void setMute(bool mute) override;
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;
    int numberOfLoops() const { return numberOfLoops_; }
    void setNumberOfLoops(int loops);
    SndLongAudioSourceDelegate* delegate() const { return delegate_; }
    void setDelegate(SndLongAudioSourceDelegate* delegate) { delegate_ = delegate; }
    bool backgroundMusic() const { return backgroundMusic_; }
    void setBackgroundMusic(bool backgroundMusic) { backgroundMusic_ = backgroundMusic; }
    bool systemPaused() const { return systemPaused_; }
    void setSystemPaused(bool paused) { systemPaused_ = paused; }

    audio::AudioPlayer* audioSourcePlayer() const { return audioSourcePlayer_.get(); }
    const std::string& audioSourceFilePath() const { return audioSourceFilePath_; }
    // 0 nothing loaded, 1 a file is loaded.
    int state() const { return state_; }

private:
    void audioPlayerDidFinishPlaying(audio::AudioPlayer* player, bool successfully) override;
    void audioPlayerBeginInterruption(audio::AudioPlayer* player) override;
    void audioPlayerEndInterruption(audio::AudioPlayer* player) override;

    std::unique_ptr<audio::AudioPlayer> audioSourcePlayer_;
    std::string audioSourceFilePath_;
    int numberOfLoops_ = 0;
    float volume_ = 1.0f;
    SndLongAudioSourceDelegate* delegate_ = nullptr;
    bool mute_ = false;
    bool enabled_ = true;
    bool backgroundMusic_ = false;
    bool systemPaused_ = false;
    int state_ = 0;
};

class SndAudioManager : public SndLongAudioSourceDelegate,
                        public SndAudioInterruptProtocol,
                        private audio::AudioSessionDelegate {
public:
    // Modes: how the app's audio meets other audio.
    enum Mode {
        kSndModeEffectsOnly = 0,          // effects only, mixed with other audio
        kSndModeEffectsAndMusic = 1,      // effects and music, other audio silenced
        kSndModeMusicIfNoOtherAudio = 2,  // music only when no other audio plays
        kSndModePlayback = 3,             // playback
        kSndModePlayAndRecord = 4,        // playback and recording
    };
    // What happens to the channels when the app loses the foreground.
    enum ResignBehavior { kSndResignDoNothing = 0, kSndResignStopAndResume = 1, kSndResignStop = 2 };
    // Manager state.
    enum State { kSndManagerUninitialised = 0, kSndManagerInitialising = 1, kSndManagerInitialised = 2 };

    // The shared manager, made on first use with the configured mode (2 when
    // none was configured); kSndN_AudioManagerInitialised is posted then.
    static std::shared_ptr<SndAudioManager> sharedManager();
    static int sharedManagerState();
    static void configure(int mode);
    // Makes the shared manager on a thread of its own; nothing unless the
    // state is still uninitialised.
    static void initAsynchronously(int mode);
    // Forgets the shared manager (the state stays as it was).
    static void end();
    // How the manager waits between attempts to reactivate the session after
    // an interruption (a real sleep unless replaced; nullptr restores it).
    static void setRetrySleep(std::function<void(double seconds)> sleep);

    explicit SndAudioManager(int mode);
    ~SndAudioManager() override;
    SndAudioManager(const SndAudioManager&) = delete;
    SndAudioManager& operator=(const SndAudioManager&) = delete;

    void setMode(int mode);
    int mode() const { return mode_; }
    const std::string& audioSessionCategory() const { return audioSessionCategory_; }
    bool isOtherAudioPlaying() const;
    bool isDeviceMuted() const;
    bool audioSessionSetActive(bool active);
    bool audioSessionSetCategory(const std::string& category);

    std::shared_ptr<SndLongAudioSource> audioSourceForChannel(int channel) const;
    std::shared_ptr<SndLongAudioSource> audioSourceLoad(const std::string& path, int channel);

    std::shared_ptr<SndLongAudioSource> backgroundMusic() const { return backgroundMusic_; }
    void preloadBackgroundMusic(const std::string& path);
    void playBackgroundMusic(const std::string& path, bool loop);
    void stopBackgroundMusic();
    void pauseBackgroundMusic();
    void resumeBackgroundMusic();
    void rewindBackgroundMusic();
    bool isBackgroundMusicPlaying() const;
    bool willPlayBackgroundMusic() const { return willPlayBackgroundMusic_; }
    // Called (with no argument) when the music finishes; not kept alive by the manager.
    void setBackgroundMusicCompletionListener(std::function<void()> listener);

    bool mute() const override { return mute_; }
    void setMute(bool mute) override;
    bool enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override;
    const std::shared_ptr<SndSoundEngine>& soundEngine() const { return soundEngine_; }

    // With autoHandle the manager follows the application's resign, become
    // active and terminate notifications itself.
    void setResignBehavior(int behavior, bool autoHandle);
    int resignBehavior() const { return resignBehavior_; }
    void applicationWillResignActive();
    void applicationDidBecomeActive();
    void applicationWillTerminate();

    void audioSessionInterrupted();
    void audioSessionResumed();
    void badAlContextHandler();
    bool interrupted() const { return interrupted_; }

    void cdAudioSourceDidFinishPlaying(SndLongAudioSource* source) override;

private:
    void beginInterruption() override { audioSessionInterrupted(); }
    void endInterruption() override { audioSessionResumed(); }

    std::shared_ptr<SndSoundEngine> soundEngine_;
    std::shared_ptr<SndLongAudioSource> backgroundMusic_;
    std::vector<std::shared_ptr<SndLongAudioSource>> audioSourceChannels_;
    std::string audioSessionCategory_;
    int mode_ = kSndModeMusicIfNoOtherAudio;
    bool willPlayBackgroundMusic_ = false;
    std::function<void()> backgroundMusicCompletionListener_;
    bool mute_ = false;
    bool resigned_ = false;
    bool interrupted_ = false;
    bool enabled_ = true;
    bool isObservingAppEvents_ = false;
    int resignBehavior_ = kSndResignDoNothing;
};

// The work of initAsynchronously: makes the shared manager on the thread
// that runs it.
class SndAsynchInitialiser {
public:
    void main() { SndAudioManager::sharedManager(); }
};

// Application notifications the manager follows when asked to handle them.
inline constexpr const char* kSndAppWillResignActiveNotification = "ApplicationWillResignActiveNotification";
inline constexpr const char* kSndAppDidBecomeActiveNotification = "ApplicationDidBecomeActiveNotification";
inline constexpr const char* kSndAppWillTerminateNotification = "ApplicationWillTerminateNotification";
