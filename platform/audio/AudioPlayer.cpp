#include "platform/audio/AudioPlayer.h"

#include <AL/alc.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace audio {

namespace {
constexpr double kWatchInterval = 0.05;
}

std::unique_ptr<AudioPlayer> AudioPlayer::createWithContentsOfFile(const std::string& path,
                                                                   foundation::ErrorRef* error) {
    auto fail = [&](std::string why, AudioErrorCode code = kAudioFileUnreadable) -> std::unique_ptr<AudioPlayer> {
        if (error) *error = foundation::Error::make(kAudioErrorDomain, code, std::move(why));
        return nullptr;
    };
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return fail("cannot open " + path + ": " + sf_strerror(nullptr));
    struct Closer {
        SNDFILE* f;
        ~Closer() { sf_close(f); }
    } closer{file};
    if (info.channels < 1 || info.channels > 2)
        return fail("unsupported channel count in " + path, kAudioFormatUnsupported);
    if (info.samplerate <= 0 || info.frames < 0) return fail("no audio in " + path);
    const auto maxFrames = sf_count_t(std::numeric_limits<int32_t>::max() / 2 / info.channels);
    if (info.frames > maxFrames) return fail("file too long: " + path, kAudioFormatUnsupported);
    std::unique_ptr<AudioPlayer> p(new AudioPlayer);
    p->samples_.resize(size_t(info.frames) * size_t(info.channels));
    sf_count_t got = sf_readf_short(file, p->samples_.data(), info.frames);
    if (got < 0 || sf_error(file) != SF_ERR_NO_ERROR) return fail("read error in " + path);
    p->samples_.resize(size_t(got) * size_t(info.channels));
    if (got == 0) return fail("no audio in " + path);
    p->path_ = path;
    p->channels_ = info.channels;
    p->rate_ = info.samplerate;
    p->duration_ = double(got) / info.samplerate;
    AudioSession::sharedInstance().addInterruptionListener(p.get());
    return p;
}

AudioPlayer::~AudioPlayer() {
    AudioSession::sharedInstance().removeInterruptionListener(this);
    unwatch();
    if (prepared_ && alcGetCurrentContext()) {
        alSourceStop(source_);
        alSourcei(source_, AL_BUFFER, 0);
        alDeleteSources(1, &source_);
        alDeleteBuffers(1, &buffer_);
        alGetError();
    }
}

bool AudioPlayer::prepareToPlay() {
    if (prepared_) return true;
    if (!alcGetCurrentContext()) return false;
    alGetError();
    alGenBuffers(1, &buffer_);
    if (alGetError() != AL_NO_ERROR) return false;
    alBufferData(buffer_, channels_ == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, samples_.data(),
                 ALsizei(samples_.size() * sizeof(int16_t)), rate_);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer_);
        alGetError();
        return false;
    }
    alGenSources(1, &source_);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer_);
        alGetError();
        return false;
    }
    // Music is not placed in space: it plays as it was recorded.
    alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(source_, AL_POSITION, 0, 0, 0);
    alSourcef(source_, AL_GAIN, volume_);
    alGetError();
    prepared_ = true;
    return true;
}

ALint AudioPlayer::state() const {
    if (!prepared_) return AL_INITIAL;
    ALint s = AL_INITIAL;
    alGetSourcei(source_, AL_SOURCE_STATE, &s);
    return s;
}

void AudioPlayer::queueFromStart() {
    alSourceStop(source_);
    alSourcei(source_, AL_BUFFER, 0);
    if (loops_ < 0) {
        alSourcei(source_, AL_BUFFER, ALint(buffer_));
        alSourcei(source_, AL_LOOPING, AL_TRUE);
    } else {
        alSourcei(source_, AL_LOOPING, AL_FALSE);
        std::vector<ALuint> queue(size_t(loops_) + 1, buffer_);
        alSourceQueueBuffers(source_, ALsizei(queue.size()), queue.data());
    }
}

bool AudioPlayer::play() {
    if (!prepareToPlay()) return false;
    alGetError();
    const ALint s = state();
    if (s == AL_PLAYING) return true;
    if (s != AL_PAUSED) queueFromStart();
    if (pendingTime_ >= 0) {
        alSourcef(source_, AL_SEC_OFFSET, float(std::min(pendingTime_, duration_)));
        pendingTime_ = -1;
    }
    alSourcePlay(source_);
    if (alGetError() != AL_NO_ERROR) return false;
    playing_ = true;
    watch();
    return true;
}

void AudioPlayer::pause() {
    playing_ = false;
    unwatch();
    if (prepared_ && state() == AL_PLAYING) alSourcePause(source_);
    alGetError();
}

void AudioPlayer::stop() { pause(); }

bool AudioPlayer::isPlaying() const { return prepared_ && playing_ && state() == AL_PLAYING; }

double AudioPlayer::currentTime() const {
    if (pendingTime_ >= 0) return pendingTime_;
    const ALint s = state();
    if (s != AL_PLAYING && s != AL_PAUSED) return 0;
    ALfloat offset = 0;
    alGetSourcef(source_, AL_SEC_OFFSET, &offset);
    return duration_ > 0 ? std::fmod(double(offset), duration_) : 0;
}

void AudioPlayer::setCurrentTime(double seconds) {
    seconds = std::clamp(seconds, 0.0, duration_);
    const ALint s = state();
    if (s == AL_PLAYING || s == AL_PAUSED) {
        alSourcef(source_, AL_SEC_OFFSET, float(seconds));
        alGetError();
        pendingTime_ = -1;
    } else {
        pendingTime_ = seconds;
    }
}

void AudioPlayer::setVolume(float volume) {
    volume_ = std::clamp(volume, 0.0f, 1.0f);
    if (prepared_) {
        alSourcef(source_, AL_GAIN, volume_);
        alGetError();
    }
}

void AudioPlayer::setNumberOfLoops(int loops) { loops_ = loops < 0 ? -1 : loops; }

void AudioPlayer::watch() {
    if (timer_ && timer_->isValid()) return;
    timer_ = foundation::RunLoop::main().addTimer(
        kWatchInterval, true, [this](foundation::Timer&) { check(); }, foundation::kCommonModes);
}

void AudioPlayer::unwatch() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void AudioPlayer::check() {
    if (!playing_ || state() == AL_PLAYING || state() == AL_PAUSED) return;
    // Played to the end: the next play starts from the beginning.
    playing_ = false;
    unwatch();
    if (delegate_) delegate_->audioPlayerDidFinishPlaying(this, true);
}

void AudioPlayer::sessionInterruptionBegan() {
    // The system takes the audio away: playback pauses where it is, and the
    // delegate of a player that was playing hears of it.
    if (!isPlaying()) return;
    pause();
    interruptedWhilePlaying_ = true;
    if (delegate_) delegate_->audioPlayerBeginInterruption(this);
}

void AudioPlayer::sessionInterruptionEnded() {
    if (!interruptedWhilePlaying_) return;
    interruptedWhilePlaying_ = false;
    if (delegate_) delegate_->audioPlayerEndInterruption(this);
}

}  // namespace audio
