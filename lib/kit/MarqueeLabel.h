#pragma once
// A one-line label that slides its text to the left when the text is wider
// than the view, pauses, slides it back, pauses, and repeats while its
// screen is shown. The edges can fade out through a gradient mask. The text
// attributes are those of an inner label that the marquee owns and moves.
//
// Exactly one slide cycle runs at a time: a new text, a restart or a change
// of the fade ends the running cycle before starting another. The cycle
// stops when the app goes inactive or to the background and when the
// marquee's screen is covered in its navigation stack, and starts again
// when the app comes back or the screen is shown again.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

class MarqueeLabel : public ui::View {
public:
    // Use the create functions: the marquee must be owned by a shared_ptr.
    MarqueeLabel(const ui::Rect& frame, double duration, double rate, float fadeLength);
    ~MarqueeLabel() override;
    const char* className() const override { return "MarqueeLabel"; }

    // One slide takes `duration` seconds.
    static std::shared_ptr<MarqueeLabel> createWithDuration(const ui::Rect& frame, double duration, float fadeLength);
    // Slides move at `rate` points per second.
    static std::shared_ptr<MarqueeLabel> createWithRate(const ui::Rect& frame, float rate, float fadeLength);
    // 7 seconds a slide, no fade.
    static std::shared_ptr<MarqueeLabel> create(const ui::Rect& frame);

    // The text; nullopt until the first setText. Setting the text it already
    // has does nothing.
    const std::optional<std::string>& text() const { return labelText_; }
    void setText(const std::optional<std::string>& text);
    std::string displayedText() const override { return labelText_.value_or(""); }

    // The inner label's background colour.
    ui::Color backgroundColor() const { return subLabel_->backgroundColor(); }
    void setBackgroundColor(const ui::Color& c);

    float fadeLength() const { return fadeLength_; }
    void setFadeLength(float f);
    bool labelize() const { return labelize_; }
    void setLabelize(bool l);
    // The curve of the slides (the allow-interaction option is kept).
    ui::AnimationCurve animationCurve() const { return animationCurve_; }
    void setAnimationCurve(ui::AnimationCurve curve);
    unsigned animationOptions() const { return animationOptions_; }

    // Puts the label home and starts the slide cycle when the text does not fit.
    void restartLabel();
    // Ends the slide cycle and puts the label home.
    void shutdownLabel();
    // The navigation controller showed another screen.
    void observedViewControllerChange(const foundation::Notification& note);

    bool labelShouldScroll() const;
    ui::Label* subLabel() const { return subLabel_.get(); }
    double animationDuration() const { return animationDuration_; }
    double lengthOfScroll() const { return lengthOfScroll_; }
    float rate() const { return rate_; }
    ui::Rect homeLabelFrame() const { return homeLabelFrame_; }
    ui::Rect awayLabelFrame() const { return awayLabelFrame_; }
    float baseAlpha() const { return baseAlpha_; }
    bool awayFromHome() const { return awayFromHome_; }

    // The label attributes, passed to the inner label.
    const ui::Font& font() const { return subLabel_->font(); }
    void setFont(const ui::Font& f) { subLabel_->setFont(f); }
    ui::Color textColor() const { return subLabel_->textColor(); }
    void setTextColor(const ui::Color& c) { subLabel_->setTextColor(c); }
    ui::Color shadowColor() const { return subLabel_->shadowColor(); }
    void setShadowColor(const ui::Color& c) { subLabel_->setShadowColor(c); }
    ui::Size shadowOffset() const { return subLabel_->shadowOffset(); }
    void setShadowOffset(ui::Size s) { subLabel_->setShadowOffset(s); }
    ui::TextAlignment textAlignment() const { return subLabel_->textAlignment(); }
    void setTextAlignment(ui::TextAlignment a) { subLabel_->setTextAlignment(a); }
    ui::LineBreakMode lineBreakMode() const { return subLabel_->lineBreakMode(); }
    void setLineBreakMode(ui::LineBreakMode m) { subLabel_->setLineBreakMode(m); }
    int numberOfLines() const { return subLabel_->numberOfLines(); }
    void setNumberOfLines(int n) { subLabel_->setNumberOfLines(n); }
    bool isEnabled() const { return subLabel_->isEnabled(); }
    void setEnabled(bool e) { subLabel_->setEnabled(e); }
    bool isHighlighted() const { return subLabel_->isHighlighted(); }
    void setHighlighted(bool h) { subLabel_->setHighlighted(h); }
    ui::Color highlightedTextColor() const { return subLabel_->highlightedTextColor(); }
    void setHighlightedTextColor(const ui::Color& c) { subLabel_->setHighlightedTextColor(c); }
    bool adjustsFontSizeToFitWidth() const { return subLabel_->adjustsFontSizeToFitWidth(); }
    void setAdjustsFontSizeToFitWidth(bool a) { subLabel_->setAdjustsFontSizeToFitWidth(a); }
    double minimumFontSize() const { return subLabel_->minimumFontSize(); }
    void setMinimumFontSize(double s) { subLabel_->setMinimumFontSize(s); }
    ui::BaselineAdjustment baselineAdjustment() const { return subLabel_->baselineAdjustment(); }
    void setBaselineAdjustment(ui::BaselineAdjustment b) { subLabel_->setBaselineAdjustment(b); }

    // The steps of the cycle (public for the screens that drive it by hand).
    void scrollLeftWithInterval(double interval);
    void scrollRightWithInterval(double interval);
    void returnLabelToOriginImmediately();
    void applyGradientMask();

private:
    void setupLabel();
    // Ends the running slide cycle: its pending steps are dropped.
    void cancelCycle();
    void startCycle();

    std::shared_ptr<ui::Label> subLabel_;
    std::optional<std::string> labelText_;
    double animationDuration_ = 0;
    double lengthOfScroll_ = 0;
    float rate_ = 0;
    unsigned animationOptions_ = ui::kAnimationOptionAllowUserInteraction;
    ui::AnimationCurve animationCurve_ = ui::AnimationCurve::EaseInOut;
    ui::Rect homeLabelFrame_, awayLabelFrame_;
    float baseAlpha_ = 1;
    bool awayFromHome_ = false;
    bool labelize_ = false;
    float fadeLength_ = 0;
    // Counts cycles and text changes, so steps of an ended one do nothing.
    unsigned cycle_ = 0;
    unsigned textChange_ = 0;
    bool fading_ = false;
    bool shutdown_ = false;
};

// The controller whose screen shows the view: the first controller met
// going up the responder chain, nullptr when none.
ui::ViewController* firstAvailableUIViewController(const ui::View* view);
ui::ViewController* traverseResponderChainForUIViewController(const ui::View* view);
