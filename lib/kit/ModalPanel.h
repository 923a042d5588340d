#pragma once
// The pop-up panel: a translucent black veil over a screen with a rounded
// box in its middle, a round close button on the box's top-left corner and a
// content view inside. It grows out of a point with a short bounce and
// shrinks back into that point when it closes.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/WeakRef.h"
#include "platform/ui/Control.h"
#include "platform/ui/View.h"

class ModalPanel;

// Every method is optional. shouldCloseModalPanel answers nullopt when the
// delegate does not decide (the close button then runs onClosePressed).
// Kept weakly: a delegate destroyed while the panel shows is not called.
class ModalPanelDelegate : public foundation::Referenceable {
public:
    virtual ~ModalPanelDelegate() = default;
    virtual void willShowModalPanel(ModalPanel* panel) { (void)panel; }
    virtual void didShowModalPanel(ModalPanel* panel) { (void)panel; }
    virtual std::optional<bool> shouldCloseModalPanel(ModalPanel* panel) {
        (void)panel;
        return std::nullopt;
    }
    virtual void willCloseModalPanel(ModalPanel* panel) { (void)panel; }
    virtual void didCloseModalPanel(ModalPanel* panel) { (void)panel; }
};

class ModalPanel : public ui::View {
public:
    // frame: the area to cover (the screens pass their view's bounds).
    explicit ModalPanel(const ui::Rect& frame);
    ~ModalPanel() override;
    static std::shared_ptr<ModalPanel> create(const ui::Rect& frame) { return std::make_shared<ModalPanel>(frame); }
    const char* className() const override { return "ModalPanel"; }
    // "<ClassName tag>".
    std::string description() const;

    // Not owned.
    ModalPanelDelegate* delegate() const { return delegate_; }
    void setDelegate(ModalPanelDelegate* d) { delegate_ = d; }

    // Full size; holds everything that animates.
    ui::View* contentContainer() const { return contentContainer_.get(); }
    // The three views below are made on first use.
    ui::View* roundedRect();
    ui::Button* closeButton();
    ui::View* contentView();

    ui::Point startEndPoint() const { return startEndPoint_; }
    void setStartEndPoint(ui::Point p) { startEndPoint_ = p; }
    ui::EdgeInsets margin() const { return margin_; }
    void setMargin(const ui::EdgeInsets& m) {
        margin_ = m;
        setNeedsLayout();
    }
    ui::EdgeInsets padding() const { return padding_; }
    void setPadding(const ui::EdgeInsets& p) {
        padding_ = p;
        setNeedsLayout();
    }
    ui::Color borderColor() const { return borderColor_; }
    void setBorderColor(const ui::Color& c);
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double w);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double r);
    ui::Color contentColor() const { return contentColor_; }
    void setContentColor(const ui::Color& c);
    bool shouldBounce() const { return shouldBounce_; }
    void setShouldBounce(bool b) { shouldBounce_ = b; }
    const std::function<void(ModalPanel*)>& onClosePressed() const { return onClosePressed_; }
    void setOnClosePressed(std::function<void(ModalPanel*)> fn) { onClosePressed_ = std::move(fn); }

    // Stores the point, centres the content container on it and shows.
    void showFromPoint(ui::Point p);
    void show();
    // The close animation with the delegate's calls, then removal.
    void hide();
    // The close animation only, then onComplete(finished).
    void hideWithOnComplete(std::function<void(bool finished)> onComplete);
    void closePressed();

    // Frames in the panel's bounds space.
    virtual ui::Rect roundedRectFrame();
    virtual ui::Rect closeButtonFrame();
    virtual ui::Rect contentViewFrame();

    // Hooks of the show animation for subclasses.
    virtual void showAnimationStarting() {}
    virtual void showAnimationPart1Finished() {}
    virtual void showAnimationPart2Finished() {}
    virtual void showAnimationPart3Finished() {}
    virtual void showAnimationFinished() {}

    void layoutSubviews() override;

    static constexpr double kShowSeconds = 0.3;
    static constexpr double kBounceStepSeconds = 0.1;
    static constexpr double kHideSeconds = 0.3;

private:
    void showDone();
    void animateClose(std::function<void(bool)> done);

    foundation::WeakRef<ModalPanelDelegate> delegate_;
    std::shared_ptr<ui::View> contentContainer_;
    std::shared_ptr<ui::View> roundedRect_;
    std::shared_ptr<ui::Button> closeButton_;
    std::shared_ptr<ui::View> contentView_;
    ui::Point startEndPoint_;
    ui::EdgeInsets margin_{20, 20, 20, 20};
    ui::EdgeInsets padding_{20, 20, 20, 20};
    ui::Color borderColor_ = ui::Color::whiteColor();
    double borderWidth_ = 1.5;
    double cornerRadius_ = 4;
    ui::Color contentColor_ = ui::Color::white(0, 0.8);
    bool shouldBounce_ = true;
    std::function<void(ModalPanel*)> onClosePressed_;
};

// A rounded view filled with a two-colour gradient layer (not used by the panel).
class RoundedRectView : public ui::View {
public:
    explicit RoundedRectView(const ui::Rect& frame);
    const char* className() const override { return "RoundedRectView"; }
    int radius() const { return radius_; }
    void setRadius(int r);
    // Two RGBA colours, top then bottom.
    void setColors(double r1, double g1, double b1, double a1, double r2, double g2, double b2, double a2);
    ui::GradientLayer& gradientLayer() const { return *gradient_; }
    void layoutSubviews() override;

private:
    std::shared_ptr<ui::GradientLayer> gradient_;
    int radius_ = 0;
};
