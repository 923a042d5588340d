#pragma once
// Reads a code aloud: one recorded digit ("music0" ... "music9") every 0.6
// seconds through the audio player, then a second of quiet before it is
// ready again. Runs on the main run loop's timers (the injectable clock),
// opens the default audio output on first use, and remembers what it played
// and when.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/AudioPlayer.h"
#include "platform/foundation/RunLoop.h"

class DigitSpeaker {
public:
    static constexpr double kSpacing = 0.6;
    static constexpr double kTrailingQuiet = 1.0;
    // The loudness the screen asks for; the player's range ends at 1.
    static constexpr float kRequestedVolume = 2.0f;

    struct Played {
        int digit;
        double at;     // monotonic clock
        bool audible;  // the player played it
    };

    DigitSpeaker();
    ~DigitSpeaker();
    DigitSpeaker(const DigitSpeaker&) = delete;
    DigitSpeaker& operator=(const DigitSpeaker&) = delete;

    // Reads the digits of `code` (other characters are skipped) and calls
    // `done` after the quiet that follows the last one. False, and nothing
    // happens, while a reading is under way.
    bool speak(const std::string& code, std::function<void()> done);
    bool isSpeaking() const { return speaking_; }
    // Stops a reading without calling `done`.
    void cancel();

    // The paths of the ten digits (index = digit); empty for a missing file.
    const std::vector<std::string>& soundPaths() const { return paths_; }
    const std::vector<Played>& played() const { return played_; }

private:
    void step();
    void playDigit(int digit);

    std::vector<std::string> paths_;
    std::vector<int> queue_;
    size_t playcount_ = 0;
    bool speaking_ = false;
    std::function<void()> done_;
    foundation::TimerRef timer_;
    std::unique_ptr<audio::AudioPlayer> player_;
    std::vector<Played> played_;
};
