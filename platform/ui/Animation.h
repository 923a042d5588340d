#pragma once
// Layer animations on the foundation clock: timing curves, basic animations
// of a key path, groups, the fade transition and transactions.
//
// Times are monotonic clock seconds. An animation added to a layer with a
// beginTime of 0 begins at once; the layer reports its end through didStop
// (finished true when it ran to its end, false when it was replaced or
// removed before).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

namespace ui {

// A cubic Bézier from (0,0) to (1,1) through two control points.
class TimingFunction {
public:
    TimingFunction() : TimingFunction(0, 0, 1, 1) {}
    TimingFunction(double x1, double y1, double x2, double y2) : x1_(x1), y1_(y1), x2_(x2), y2_(y2) {}
    static TimingFunction linear() { return {0, 0, 1, 1}; }
    static TimingFunction easeIn() { return {0.42, 0, 1, 1}; }
    static TimingFunction easeOut() { return {0, 0, 0.58, 1}; }
    static TimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }
    // The progress at time fraction x in [0, 1].
    double evaluate(double x) const;
    bool operator==(const TimingFunction&) const = default;

private:
    double x1_, y1_, x2_, y2_;
};

using AnimatableValue = std::variant<double, Point, Size, Rect, Transform3D, Color>;
AnimatableValue interpolate(const AnimatableValue& from, const AnimatableValue& to, double t);

struct LayerState;

enum class FillMode { Removed, Forwards, Backwards, Both };

class Animation {
public:
    virtual ~Animation() = default;
    virtual std::shared_ptr<Animation> clone() const = 0;

    double duration = 0;   // 0 means the default of 0.25 s
    double beginTime = 0;  // absolute once added to a layer; inside a group, relative to the group
    TimingFunction timingFunction = TimingFunction::linear();
    FillMode fillMode = FillMode::Removed;
    bool removedOnCompletion = true;
    // Goes on while the screen is otherwise still (kAnimationOptionAmbient).
    bool ambient = false;
    std::function<void()> didStart;
    std::function<void(bool finished)> didStop;

    double effectiveDuration() const { return duration > 0 ? duration : 0.25; }
    // Applies the animation to the state at time t (same time base as beginTime).
    // model holds the layer's model values.
    void applyAt(LayerState& state, const LayerState& model, double t) const;

protected:
    // progress is the eased fraction from 0 to 1; localTime the seconds since begin.
    virtual void apply(LayerState& state, const LayerState& model, double progress, double localTime) const = 0;
};

class BasicAnimation : public Animation {
public:
    explicit BasicAnimation(std::string keyPath = "") : keyPath(std::move(keyPath)) {}
    static std::shared_ptr<BasicAnimation> create(const std::string& keyPath) {
        return std::make_shared<BasicAnimation>(keyPath);
    }
    std::shared_ptr<Animation> clone() const override { return std::make_shared<BasicAnimation>(*this); }

    std::string keyPath;
    // A missing value is the property's current value (from) or model value (to).
    std::optional<AnimatableValue> fromValue;
    std::optional<AnimatableValue> toValue;

protected:
    void apply(LayerState& state, const LayerState& model, double progress, double localTime) const override;
};

class AnimationGroup : public Animation {
public:
    static std::shared_ptr<AnimationGroup> create() { return std::make_shared<AnimationGroup>(); }
    std::shared_ptr<Animation> clone() const override;
    std::vector<std::shared_ptr<Animation>> animations;

protected:
    void apply(LayerState& state, const LayerState& model, double progress, double localTime) const override;
};

// A cross-fade from how the layer looked when the transition was added to
// how it looks now.
class Transition : public Animation {
public:
    static std::shared_ptr<Transition> create() { return std::make_shared<Transition>(); }
    std::shared_ptr<Animation> clone() const override { return std::make_shared<Transition>(*this); }
    std::string type = "fade";

protected:
    void apply(LayerState&, const LayerState&, double, double) const override {}
};

// Settings for the implicit animations of stand-alone layers, nested.
class Transaction {
public:
    static void begin();
    static void commit();
    static void setAnimationDuration(double d);
    static double animationDuration();  // 0.25 unless set
    static void setDisableActions(bool disable);
    static bool disableActions();
    static void setAnimationTimingFunction(const TimingFunction& f);
    static TimingFunction animationTimingFunction();
};

// Reads or writes one animatable property of a state by key path
// ("position", "position.x", "bounds", "bounds.size", "opacity",
// "transform", "transform.scale", "transform.rotation.z", "backgroundColor",
// "cornerRadius", "borderWidth", "borderColor", "shadowOpacity", ...).
std::optional<AnimatableValue> valueForKeyPath(const LayerState& state, const std::string& keyPath);
bool setValueForKeyPath(LayerState& state, const std::string& keyPath, const AnimatableValue& value);

// Number of animations attached to layers anywhere (the window keeps
// refreshing while it is not zero).
int activeAnimationCount();
// Of those, the ones that move the screen (not ambient).
int movingAnimationCount();

}  // namespace ui
