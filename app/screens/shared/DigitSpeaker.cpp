#include "app/screens/shared/DigitSpeaker.h"

#include <AL/alc.h>

#include <algorithm>

#include "platform/audio/AudioOutput.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

// The default output, opened once for the process when no context is current.
bool ensureAudioContext() {
    if (alcGetCurrentContext()) return true;
    static ALCcontext* context = []() -> ALCcontext* {
        ALCdevice* device = audio::openOutputDevice();
        if (!device) return nullptr;
        ALCcontext* made = alcCreateContext(device, nullptr);
        if (!made) alcCloseDevice(device);
        return made;
    }();
    return context && alcMakeContextCurrent(context);
}

}  // namespace

DigitSpeaker::DigitSpeaker() {
    for (int d = 0; d <= 9; ++d)
        paths_.push_back(foundation::bundlePath("music" + std::to_string(d), "mp3").value_or(""));
}

DigitSpeaker::~DigitSpeaker() { cancel(); }

bool DigitSpeaker::speak(const std::string& code, std::function<void()> done) {
    if (speaking_) return false;
    queue_.clear();
    for (char c : code)
        if (c >= '0' && c <= '9') queue_.push_back(c - '0');
    playcount_ = 0;
    speaking_ = true;
    done_ = std::move(done);
    step();
    return true;
}

void DigitSpeaker::cancel() {
    if (timer_) timer_->invalidate();
    timer_.reset();
    speaking_ = false;
    done_ = nullptr;
    if (player_) player_->stop();
}

void DigitSpeaker::step() {
    if (playcount_ < queue_.size()) {
        playDigit(queue_[playcount_++]);
        timer_ = foundation::RunLoop::main().performAfter(kSpacing, [this] { step(); });
        return;
    }
    // The last digit has had its time; after the quiet the speaker is ready again.
    timer_ = foundation::RunLoop::main().performAfter(kTrailingQuiet, [this] {
        timer_.reset();
        speaking_ = false;
        queue_.clear();
        auto done = std::move(done_);
        done_ = nullptr;
        if (done) done();
    });
}

void DigitSpeaker::playDigit(int digit) {
    bool audible = false;
    const std::string& path = paths_[digit];
    if (!path.empty() && ensureAudioContext()) {
        foundation::ErrorRef error;
        player_ = audio::AudioPlayer::createWithContentsOfFile(path, &error);
        if (player_ && player_->prepareToPlay()) {
            player_->setNumberOfLoops(0);
            player_->setVolume(std::clamp(kRequestedVolume, 0.0f, 1.0f));
            audible = player_->isPlaying() || player_->play();
        } else {
            foundation::log("digit ", digit, " cannot be played: ", error ? error->message : std::string());
        }
    }
    played_.push_back({digit, foundation::clock().monotonic(), audible});
}
