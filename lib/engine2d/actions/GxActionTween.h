#pragma once
// Actions that drive one number: a tween sets a numeric property of its
// target by name; the progress actions drive a progress timer's percentage.

#include <memory>
#include <string>

#include "lib/engine2d/actions/GxActionInterval.h"

namespace engine2d {

// Nodes with numeric properties of their own take them by name here.
class GxTweenable {
public:
    virtual ~GxTweenable() = default;
    // False when the key is not one of the object's numeric properties.
    virtual bool setValueForKey(const std::string& key, float value) = 0;
};

// Sets a property by name. Every node takes "rotation", "scale", "scaleX",
// "scaleY", "skewX", "skewY" and "vertexZ"; coloured nodes "opacity"; a
// progress timer "percentage"; a GxTweenable its own keys. Returns false
// (and changes nothing) for a key the target does not have.
bool gxSetValueForKey(GxNode* target, const std::string& key, float value);

class GxActionTween : public GxActionInterval {
public:
    static std::shared_ptr<GxActionTween> actionWithDuration(float d, std::string key, float from, float to) {
        return std::make_shared<GxActionTween>(d, std::move(key), from, to);
    }
    GxActionTween(float d, std::string key, float from, float to)
        : GxActionInterval(d), key_(std::move(key)), from_(from), to_(to) {}
    const char* className() const override { return "GxActionTween"; }
    GxActionRef copy() const override { return std::make_shared<GxActionTween>(duration_, key_, from_, to_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override {
        return std::make_shared<GxActionTween>(duration_, key_, to_, from_);
    }
    const std::string& key() const { return key_; }

private:
    std::string key_;
    float from_, to_, delta_ = 0;
};

// Drives a progress timer from its current percentage (a full timer starts
// again from empty) to the given one.
class GxProgressTo : public GxActionInterval {
public:
    static std::shared_ptr<GxProgressTo> actionWithDuration(float d, float percent) {
        return std::make_shared<GxProgressTo>(d, percent);
    }
    GxProgressTo(float d, float percent) : GxActionInterval(d), to_(percent) {}
    const char* className() const override { return "GxProgressTo"; }
    GxActionRef copy() const override { return std::make_shared<GxProgressTo>(duration_, to_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

private:
    float to_, from_ = 0;
};

class GxProgressFromTo : public GxActionInterval {
public:
    static std::shared_ptr<GxProgressFromTo> actionWithDuration(float d, float from, float to) {
        return std::make_shared<GxProgressFromTo>(d, from, to);
    }
    GxProgressFromTo(float d, float from, float to) : GxActionInterval(d), to_(to), from_(from) {}
    const char* className() const override { return "GxProgressFromTo"; }
    GxActionRef copy() const override { return std::make_shared<GxProgressFromTo>(duration_, from_, to_); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxProgressFromTo>(duration_, to_, from_); }
    float from() const { return from_; }
    float to() const { return to_; }

private:
    float to_, from_;
};

}  // namespace engine2d
