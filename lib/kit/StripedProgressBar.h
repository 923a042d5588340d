#pragma once
// A progress bar drawn by the app: a dark rounded trough, a warm gradient
// bar with diagonal stripes that move one point per redraw, and a gloss. A
// timer redraws it 30 times a second while it is animated and in a window.

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Path.h"

class StripedProgressBar : public ui::ProgressView {
public:
    explicit StripedProgressBar(const ui::Rect& frame);
    ~StripedProgressBar() override;
    static std::shared_ptr<StripedProgressBar> create(const ui::Rect& frame) {
        return std::make_shared<StripedProgressBar>(frame);
    }
    const char* className() const override { return "StripedProgressBar"; }

    // The stripes' horizontal phase, 0 to 14; advanced by every redraw.
    double progressOffset() const { return progressOffset_; }
    double cornerRadius() const { return cornerRadius_; }
    bool isAnimated() const { return animated_; }
    // Turning it on keeps the one redraw timer (made when the bar is in a
    // window); turning it off stops it.
    void setAnimated(bool animated);
    // The running redraw timer, or nullptr.
    const foundation::TimerRef& animationTimer() const { return timer_; }

    // One stripe: (ox, oy), (ox + 7, oy), (ox - 1, oy + h), (ox - 8, oy + h).
    static ui::Path stripeWithOrigin(ui::Point origin, const ui::Rect& bounds);

    static constexpr double kFrameSeconds = 1.0 / 30;
    static constexpr double kStripeSpacing = 14;

    void drawRect(const ui::Rect& rect) override;
    void didMoveToWindow() override;

private:
    void initializeProgressBar();
    void startTimer();
    void stopTimer();

    double progressOffset_ = 0;
    double cornerRadius_ = 0;
    bool animated_ = false;
    foundation::TimerRef timer_;
};
