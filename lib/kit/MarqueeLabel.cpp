#include "lib/kit/MarqueeLabel.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Text.h"

namespace {

constexpr double kFadeDuration = 0.1;
// Linear curve, begin from the current state.
constexpr unsigned kFadeOptions = ui::kAnimationOptionCurveLinear | ui::kAnimationOptionBeginFromCurrentState;
constexpr double kLeftDelay = 1.0;
constexpr double kRightDelay = 0.3;

unsigned long long userInfoIdentity(const foundation::Value& info, const char* key) {
    const foundation::Value* v = info.get(key);
    if (!v || !v->isNumber()) return 0;
    return v->unsignedLongLongValue();
}

}  // namespace

MarqueeLabel::MarqueeLabel(const ui::Rect& frame, double duration, double rate, float fadeLength) : ui::View(frame) {
    setupLabel();
    lengthOfScroll_ = duration;
    rate_ = float(rate);
    setFadeLength(std::min(fadeLength, float(frame.width() / 2)));
}

MarqueeLabel::~MarqueeLabel() { foundation::NotificationCenter::defaultCenter().removeObserver(this); }

std::shared_ptr<MarqueeLabel> MarqueeLabel::createWithDuration(const ui::Rect& frame, double duration,
                                                               float fadeLength) {
    return std::make_shared<MarqueeLabel>(frame, duration, 0.0, fadeLength);
}

std::shared_ptr<MarqueeLabel> MarqueeLabel::createWithRate(const ui::Rect& frame, float rate, float fadeLength) {
    return std::make_shared<MarqueeLabel>(frame, 0.0, double(rate), fadeLength);
}

std::shared_ptr<MarqueeLabel> MarqueeLabel::create(const ui::Rect& frame) { return createWithDuration(frame, 7.0, 0); }

void MarqueeLabel::setupLabel() {
    setClipsToBounds(true);
    animationOptions_ = ui::kAnimationOptionAllowUserInteraction;
    awayFromHome_ = false;
    labelize_ = false;
    labelText_.reset();
    subLabel_ = ui::Label::create(bounds());
    addSubview(subLabel_);

    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, ui::kNavigationControllerDidShowViewControllerNotification,
                       [this](const foundation::Notification& n) { observedViewControllerChange(n); });
    for (const char* name :
         {ui::kApplicationWillEnterForegroundNotification, ui::kApplicationDidBecomeActiveNotification})
        center.addObserver(this, name, [this](const foundation::Notification&) { restartLabel(); });
    for (const char* name :
         {ui::kApplicationWillResignActiveNotification, ui::kApplicationDidEnterBackgroundNotification})
        center.addObserver(this, name, [this](const foundation::Notification&) { shutdownLabel(); });
}

void MarqueeLabel::setBackgroundColor(const ui::Color& c) {
    if (subLabel_->backgroundColor() != c) subLabel_->setBackgroundColor(c);
}

void MarqueeLabel::setFadeLength(float f) {
    if (f == fadeLength_) return;
    fadeLength_ = f;
    applyGradientMask();
}

void MarqueeLabel::setLabelize(bool l) {
    if (!l) {
        labelize_ = false;
        restartLabel();
    } else {
        labelize_ = true;
        if (subLabel_) returnLabelToOriginImmediately();
    }
}

void MarqueeLabel::setAnimationCurve(ui::AnimationCurve curve) {
    animationCurve_ = curve;
    animationOptions_ = (unsigned(curve) << 16) | ui::kAnimationOptionAllowUserInteraction;
}

bool MarqueeLabel::labelShouldScroll() const {
    if (!labelText_) return false;
    return !bounds().containsRect(homeLabelFrame_);
}

void MarqueeLabel::setText(const std::optional<std::string>& text) {
    if (text == labelText_) return;
    labelText_ = text;

    double w = 0;
    if (labelText_) {
        w = ui::sizeWithFont(*labelText_, subLabel_->font(), ui::Size{9999, frame().height()},
                             subLabel_->lineBreakMode())
                .width;
    }
    const ui::Rect b = bounds();
    homeLabelFrame_ = ui::Rect{fadeLength_, 0, w + fadeLength_, b.height()};
    awayLabelFrame_ = homeLabelFrame_.offsetBy(b.width() - 2 * fadeLength_ - w, 0);

    // Worked out also for a still label, so leaving the still mode can slide.
    animationDuration_ = rate_ == 0 ? lengthOfScroll_ : std::fabs(awayLabelFrame_.x()) / rate_;

    if (labelize_) {
        cancelCycle();
        ++textChange_;
        fading_ = false;
        subLabel_->setAlpha(baseAlpha_);
        subLabel_->setFrame(homeLabelFrame_);
        subLabel_->setText(labelText_.value_or(""));
        return;
    }

    // A text that arrives while the previous one still fades keeps the alpha
    // the label had before that fade.
    if (!fading_) baseAlpha_ = float(subLabel_->alpha());
    fading_ = true;
    // The running cycle ends here; its slide goes on moving while the text
    // fades out and is put home when the new text comes in.
    ++cycle_;
    const unsigned change = ++textChange_;
    std::weak_ptr<ui::View> weak = weak_from_this();
    auto label = subLabel_;
    ui::View::animate(
        kFadeDuration, 0, kFadeOptions, [label]() { label->setAlpha(0); },
        [weak, change](bool) {
            auto self = std::static_pointer_cast<MarqueeLabel>(weak.lock());
            if (!self || self->textChange_ != change) return;
            self->returnLabelToOriginImmediately();
            self->subLabel_->setFrame(self->homeLabelFrame_);
            self->subLabel_->setText(self->labelText_.value_or(""));
            auto sub = self->subLabel_;
            float alpha = self->baseAlpha_;
            ui::View::animate(
                kFadeDuration, 0, kFadeOptions, [sub, alpha]() { sub->setAlpha(alpha); },
                [weak, change](bool) {
                    auto me = std::static_pointer_cast<MarqueeLabel>(weak.lock());
                    if (!me || me->textChange_ != change) return;
                    me->fading_ = false;
                    if (me->labelShouldScroll() && !me->shutdown_) me->startCycle();
                });
        });
}

void MarqueeLabel::cancelCycle() {
    ++cycle_;
    // Drop the slide in flight (its completion sees the cycle has ended).
    subLabel_->layer().removeAnimationForKey("position");
    subLabel_->layer().removeAnimationForKey("bounds");
}

void MarqueeLabel::startCycle() {
    cancelCycle();
    scrollLeftWithInterval(animationDuration_);
}

void MarqueeLabel::scrollLeftWithInterval(double interval) {
    // A slide of no length of time would go round without end.
    if (animationDuration_ <= 0 || interval <= 0) return;
    const unsigned cycle = cycle_;
    awayFromHome_ = true;
    std::weak_ptr<ui::View> weak = weak_from_this();
    auto label = subLabel_;
    ui::Rect away = awayLabelFrame_;
    ui::View::animate(
        interval, kLeftDelay, animationOptions_ | ui::kAnimationOptionAmbient,
        [label, away]() { label->setFrame(away); },
        [weak, cycle, interval](bool finished) {
            auto self = std::static_pointer_cast<MarqueeLabel>(weak.lock());
            if (!self || self->cycle_ != cycle || !finished) return;
            self->scrollRightWithInterval(interval);
        });
}

void MarqueeLabel::scrollRightWithInterval(double interval) {
    if (animationDuration_ <= 0) return;
    const unsigned cycle = cycle_;
    std::weak_ptr<ui::View> weak = weak_from_this();
    auto label = subLabel_;
    ui::Rect home = homeLabelFrame_;
    ui::View::animate(
        animationDuration_, kRightDelay, animationOptions_ | ui::kAnimationOptionAmbient,
        [label, home]() { label->setFrame(home); },
        [weak, cycle, interval](bool finished) {
            auto self = std::static_pointer_cast<MarqueeLabel>(weak.lock());
            if (!self || self->cycle_ != cycle || !finished) return;
            self->awayFromHome_ = false;
            self->scrollLeftWithInterval(interval);
        });
}

void MarqueeLabel::returnLabelToOriginImmediately() {
    if (!subLabel_) return;
    cancelCycle();
    if (subLabel_->frame() != homeLabelFrame_) subLabel_->setFrame(homeLabelFrame_);
    awayFromHome_ = false;
}

void MarqueeLabel::restartLabel() {
    shutdown_ = false;
    if (!subLabel_) return;
    returnLabelToOriginImmediately();
    if (labelShouldScroll() && !labelize_ && !fading_) startCycle();
}

void MarqueeLabel::shutdownLabel() {
    shutdown_ = true;
    layer().removeAllAnimations();
    returnLabelToOriginImmediately();
}

void MarqueeLabel::observedViewControllerChange(const foundation::Notification& note) {
    const unsigned long long last =
        userInfoIdentity(note.userInfo, ui::kNavigationControllerLastVisibleViewControllerKey);
    const unsigned long long next =
        userInfoIdentity(note.userInfo, ui::kNavigationControllerNextVisibleViewControllerKey);
    ui::ViewController* screen = firstAvailableUIViewController(this);
    if (!screen) return;
    const unsigned long long mine = ui::viewControllerIdentity(screen);
    if (mine == last) {
        shutdownLabel();
    } else if (mine == next) {
        restartLabel();
    }
}

void MarqueeLabel::applyGradientMask() {
    returnLabelToOriginImmediately();
    if (fadeLength_ == 0) {
        layer().setMask(nullptr);
    } else {
        auto mask = ui::GradientLayer::create();
        const ui::Rect b = layer().bounds();
        mask->setBounds(b);
        mask->setPosition({b.width() / 2, b.height() / 2});
        mask->setStartPoint({0, frame().midY()});
        mask->setEndPoint({1, frame().midY()});
        mask->setColors(
            {ui::Color::clearColor(), ui::Color::blackColor(), ui::Color::blackColor(), ui::Color::clearColor()});
        const double f = fadeLength_ / frame().width();
        mask->setLocations({0, f, 1 - f, 1});
        layer().setMask(mask);
    }
    if (labelShouldScroll() && !labelize_ && !fading_ && !shutdown_) startCycle();
}

ui::ViewController* traverseResponderChainForUIViewController(const ui::View* view) {
    if (!view) return nullptr;
    ui::Responder* next = view->nextResponder();
    if (auto* vc = dynamic_cast<ui::ViewController*>(next)) return vc;
    if (auto* v = dynamic_cast<ui::View*>(next)) return traverseResponderChainForUIViewController(v);
    return nullptr;
}

ui::ViewController* firstAvailableUIViewController(const ui::View* view) {
    return traverseResponderChainForUIViewController(view);
}
