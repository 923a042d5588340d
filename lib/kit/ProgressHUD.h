#pragma once
// The modal waiting overlay: a transparent view over its superview that can
// darken it with a radial shade and draws a dark rounded box in its centre
// holding an indicator (spinner, pie, ring, a custom view or nothing), a
// caption and a multi-line detail text. showWhileExecuting runs a task on the
// background pool, shows the overlay meanwhile and hides it on the main
// thread when the task returns; the delegate then hears hudWasHidden.
//
// Every property may be set from any thread. Changes that touch the views
// (mode, custom view, texts, fonts, progress) are applied on the main thread:
// at once when set there, otherwise forwarded without waiting. Showing,
// hiding and their timers belong to the thread that calls show and hide (the
// main thread in the screens).

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakRef.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

class ProgressHUD;

// Kept weakly by the overlay: a delegate destroyed first is not called.
class ProgressHUDDelegate : public foundation::Referenceable {
public:
    virtual ~ProgressHUDDelegate() = default;
    // After the overlay has hidden (before its removal when that was asked).
    virtual void hudWasHidden(ProgressHUD* hud) { (void)hud; }
};

enum ProgressHUDMode {
    ProgressHUDModeIndeterminate = 0,       // a large white spinner
    ProgressHUDModeDeterminate = 1,         // a pie filling with the progress
    ProgressHUDModeAnnularDeterminate = 2,  // a ring filling with the progress
    ProgressHUDModeCustomView = 3,          // customView is the indicator
    ProgressHUDModeText = 4,                // no indicator
};

enum ProgressHUDAnimation {
    ProgressHUDAnimationFade = 0,
    ProgressHUDAnimationZoom = 1,  // fade plus scaling
};

// The determinate indicator: a pie, or with annular a ring, that fills
// clockwise from twelve o'clock with the progress.
class RoundProgressView : public ui::View {
public:
    // 37 x 37 points.
    RoundProgressView();
    explicit RoundProgressView(const ui::Rect& frame);
    const char* className() const override { return "RoundProgressView"; }

    float progress() const { return progress_; }
    // Redraws.
    void setProgress(float p);
    bool isAnnular() const { return annular_; }
    // Redraws.
    void setAnnular(bool a);

    void drawRect(const ui::Rect& rect) override;

private:
    float progress_ = 0;
    bool annular_ = false;
};

class ProgressHUD : public ui::View {
public:
    // Use create / initWithView: the overlay must be owned by a shared_ptr.
    explicit ProgressHUD(const ui::Rect& frame);
    ~ProgressHUD() override;
    const char* className() const override { return "ProgressHUD"; }

    static std::shared_ptr<ProgressHUD> create(const ui::Rect& frame);
    // An overlay of the view's bounds (zero bounds for a null view); on a
    // window the rotation of the status-bar orientation is applied at once.
    // The caller adds it as a subview.
    static std::shared_ptr<ProgressHUD> initWithView(ui::View* view);
    static std::shared_ptr<ProgressHUD> initWithWindow(ui::View* window) { return initWithView(window); }

    // Makes an overlay on the view, adds it as the view's subview and shows it.
    static std::shared_ptr<ProgressHUD> showHUDAddedTo(ui::View* view, bool animated);
    // The last subview of the view that is an overlay, or nullptr.
    static std::shared_ptr<ProgressHUD> HUDForView(ui::View* view);
    // Every overlay among the view's subviews, in subview order.
    static std::vector<std::shared_ptr<ProgressHUD>> allHUDsForView(ui::View* view);
    // Hides (and removes once hidden) the overlay HUDForView finds; false when there is none.
    static bool hideHUDForView(ui::View* view, bool animated);
    // The same for every overlay of the view; returns their count.
    static size_t hideAllHUDsForView(ui::View* view, bool animated);

    // Showing and hiding, with the grace and minimum-show times.
    void show(bool animated);
    void hide(bool animated);
    // hide(animated) after the delay, through the run loop of the calling thread.
    void hide(bool animated, double delay);
    // Runs task on the background pool ("hud.task") and shows the overlay meanwhile; when the task
    // returns the overlay hides on the main thread. The task (and whatever it
    // holds) is kept until then and released on the main thread.
    void showWhileExecuting(std::function<void()> task, bool animated);

    // --- properties ---
    ProgressHUDDelegate* delegate() const;
    void setDelegate(ProgressHUDDelegate* d);
    int mode() const;
    void setMode(int m);
    int animationType() const;
    void setAnimationType(int t);
    std::shared_ptr<ui::View> customView() const;
    void setCustomView(std::shared_ptr<ui::View> v);
    // An empty text is no text.
    std::string labelText() const;
    void setLabelText(const std::string& t);
    std::string detailsLabelText() const;
    void setDetailsLabelText(const std::string& t);
    ui::Font labelFont() const;
    void setLabelFont(const ui::Font& f);
    ui::Font detailsLabelFont() const;
    void setDetailsLabelFont(const ui::Font& f);
    float progress() const;
    void setProgress(float p);
    float opacity() const;
    void setOpacity(float o);
    float xOffset() const;
    void setXOffset(float x);
    float yOffset() const;
    void setYOffset(float y);
    float margin() const;
    void setMargin(float m);
    ui::Size minSize() const;
    void setMinSize(ui::Size s);
    bool isSquare() const;
    void setSquare(bool s);
    bool dimBackground() const;
    void setDimBackground(bool d);
    float graceTime() const;
    void setGraceTime(float seconds);
    float minShowTime() const;
    void setMinShowTime(float seconds);
    bool removeFromSuperViewOnHide() const;
    void setRemoveFromSuperViewOnHide(bool r);

    bool taskInProgress() const;
    bool isFinished() const;
    bool useAnimation() const;
    // Monotonic clock time at which the overlay became visible; nullopt while hidden.
    std::optional<double> showStarted() const;
    // The box size of the last layout.
    ui::Size size() const;
    ui::AffineTransform rotationTransform() const;
    std::shared_ptr<ui::View> indicator() const;
    ui::Label* label() const { return label_.get(); }
    ui::Label* detailsLabel() const { return detailsLabel_.get(); }
    bool hasPendingGraceTimer() const;
    bool hasPendingMinShowTimer() const;

    // Applies the rotation of the application's status-bar orientation.
    void setTransformForCurrentOrientation(bool animated);

    void didMoveToSuperview() override { setNeedsLayout(); }
    void layoutSubviews() override;
    void drawRect(const ui::Rect& rect) override;

private:
    void observeValueForKeyPath(const char* keyPath);
    void updateUIForKeypath(const std::string& keyPath);
    void updateIndicators();
    void deviceOrientationDidChange();
    void handleGraceTimer();
    void handleMinShowTimer();
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void animationFinished();
    void done();
    void cleanUp();
    void cancelTimers();

    mutable std::mutex mutex_;
    foundation::WeakRef<ProgressHUDDelegate> delegate_;
    int mode_ = ProgressHUDModeIndeterminate;
    int animationType_ = ProgressHUDAnimationFade;
    std::shared_ptr<ui::View> customView_;
    std::string labelText_, detailsLabelText_;
    ui::Font labelFont_ = ui::Font::boldSystemFont(16);
    ui::Font detailsLabelFont_ = ui::Font::boldSystemFont(12);
    float progress_ = 0;
    float opacity_ = 0.8f;
    float xOffset_ = 0, yOffset_ = 0;
    float margin_ = 20;
    ui::Size minSize_;
    bool square_ = false;
    bool dimBackground_ = false;
    float graceTime_ = 0, minShowTime_ = 0;
    bool removeFromSuperViewOnHide_ = false;
    bool taskInProgress_ = false;
    bool isFinished_ = false;
    bool useAnimation_ = false;
    std::optional<double> showStarted_;
    ui::Size size_;
    ui::AffineTransform rotationTransform_;

    // Main-thread state.
    std::shared_ptr<ui::View> indicator_;
    std::shared_ptr<ui::Label> label_, detailsLabel_;
    foundation::TimerRef graceTimer_, minShowTimer_, delayedHide_;
};
