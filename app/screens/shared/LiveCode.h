#pragma once
// The live one-time password every code view shows (the main screen's code
// panel, the code tab, the nine-star tab): the code of a token key and its
// stored server-minus-device difference, the 30-second window it belongs to
// (GetOtp::counterAt, as the code itself counts) and the seconds into it.
// While it runs it ticks once a second on the main loop and tells its
// listener the seconds into the window and whether the window has turned;
// the code is made afresh only when it has.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/foundation/RunLoop.h"

namespace screens {

class LiveCode {
public:
    struct Tick {
        int secondsIn = 0;       // 0 to 29
        bool newWindow = false;  // the window turned since the last reading: code() is new
    };
    using Listener = std::function<void(const Tick&)>;

    LiveCode() = default;
    ~LiveCode();
    LiveCode(const LiveCode&) = delete;
    LiveCode& operator=(const LiveCode&) = delete;

    // The token the code is made of: the key's hex text and the stored
    // difference text (its leading decimal number; none counts 0). Takes
    // effect at the next reading.
    void setToken(std::string key, std::string difference);
    // Reads the window and makes the code at the clock's time now.
    void refresh();
    const std::string& code() const { return code_; }
    int64_t window() const { return window_; }
    // The seconds into the window at the clock's time now.
    int secondsIn() const;

    // Ticks once a second from now, telling `listener`. start() leaves a
    // running tick as it is; restart() replaces it with a new one.
    void start(Listener listener);
    void restart(Listener listener);
    void stop();
    // One last tick now, then no more (the view leaves the screen).
    void finish();
    bool running() const { return timer_ && timer_->isValid(); }
    bool hasTimer() const { return timer_ != nullptr; }

    // The window of a device time with a difference (counterAt), and the
    // seconds into it: window * 30 + seconds is the corrected time.
    static int64_t windowAt(int64_t nowSeconds, long long difference);
    static int secondsInto(int64_t nowSeconds, long long difference);
    // A stored difference text read as the code reads it.
    static long long difference(std::string_view text);

private:
    void tick();

    std::string key_, difference_;
    std::string code_;
    int64_t window_ = 0;
    Listener listener_;
    foundation::TimerRef timer_;
};

}  // namespace screens
