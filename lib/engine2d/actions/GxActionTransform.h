#pragma once
// Timed actions that change one property of a node in proportion to the
// progress: rotation, position, skew, jumps, bezier paths, scale, blinking,
// opacity and colour. Each reads the node's value when it starts. "To"
// actions go to a value, "By" actions change by an amount and can be
// reversed. Angles in degrees, positions in points, opacity 0 to 255.
//
// The values given at creation are kept apart from what a start derives
// from them, so an action started again (inside a repeat, or a copy) works
// from the caller's values.

#include <cstdint>
#include <memory>

#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/mathlib/Types.h"

namespace engine2d {

class GxRotateTo : public GxActionInterval {
public:
    static std::shared_ptr<GxRotateTo> actionWithDuration(float d, float angle) {
        return std::make_shared<GxRotateTo>(d, angle);
    }
    GxRotateTo(float d, float angle) : GxActionInterval(d), dstAngle_(angle) {}
    const char* className() const override { return "GxRotateTo"; }
    GxActionRef copy() const override { return std::make_shared<GxRotateTo>(duration_, dstAngle_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

private:
    float dstAngle_, startAngle_ = 0, diffAngle_ = 0;
};

class GxRotateBy : public GxActionInterval {
public:
    static std::shared_ptr<GxRotateBy> actionWithDuration(float d, float angle) {
        return std::make_shared<GxRotateBy>(d, angle);
    }
    GxRotateBy(float d, float angle) : GxActionInterval(d), angle_(angle) {}
    const char* className() const override { return "GxRotateBy"; }
    GxActionRef copy() const override { return std::make_shared<GxRotateBy>(duration_, angle_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxRotateBy>(duration_, -angle_); }

private:
    float angle_, startAngle_ = 0;
};

class GxMoveTo : public GxActionInterval {
public:
    static std::shared_ptr<GxMoveTo> actionWithDuration(float d, Point position) {
        return std::make_shared<GxMoveTo>(d, position);
    }
    GxMoveTo(float d, Point position) : GxActionInterval(d), endPosition_(position) {}
    const char* className() const override { return "GxMoveTo"; }
    GxActionRef copy() const override { return std::make_shared<GxMoveTo>(duration_, endPosition_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

protected:
    Point endPosition_, startPosition_, delta_;
};

class GxMoveBy : public GxMoveTo {
public:
    static std::shared_ptr<GxMoveBy> actionWithDuration(float d, Point offset) {
        return std::make_shared<GxMoveBy>(d, offset);
    }
    GxMoveBy(float d, Point offset) : GxMoveTo(d, {}) { delta_ = offset; }
    const char* className() const override { return "GxMoveBy"; }
    GxActionRef copy() const override { return std::make_shared<GxMoveBy>(duration_, delta_); }
    void startWithTarget(GxNode* target) override;
    GxFiniteTimeActionRef reverse() const override {
        return std::make_shared<GxMoveBy>(duration_, Point{-delta_.x, -delta_.y});
    }
};

class GxSkewTo : public GxActionInterval {
public:
    static std::shared_ptr<GxSkewTo> actionWithDuration(float d, float sx, float sy) {
        return std::make_shared<GxSkewTo>(d, sx, sy);
    }
    GxSkewTo(float d, float sx, float sy) : GxActionInterval(d), endSkewX_(sx), endSkewY_(sy) {}
    const char* className() const override { return "GxSkewTo"; }
    GxActionRef copy() const override { return std::make_shared<GxSkewTo>(duration_, endSkewX_, endSkewY_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

protected:
    float skewX_ = 0, skewY_ = 0, startSkewX_ = 0, startSkewY_ = 0, endSkewX_, endSkewY_, deltaX_ = 0, deltaY_ = 0;
};

class GxSkewBy : public GxSkewTo {
public:
    static std::shared_ptr<GxSkewBy> actionWithDuration(float d, float sx, float sy) {
        return std::make_shared<GxSkewBy>(d, sx, sy);
    }
    GxSkewBy(float d, float sx, float sy) : GxSkewTo(d, sx, sy) { skewX_ = sx, skewY_ = sy; }
    const char* className() const override { return "GxSkewBy"; }
    GxActionRef copy() const override { return std::make_shared<GxSkewBy>(duration_, skewX_, skewY_); }
    void startWithTarget(GxNode* target) override;
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxSkewBy>(duration_, -skewX_, -skewY_); }
};

class GxJumpBy : public GxActionInterval {
public:
    static std::shared_ptr<GxJumpBy> actionWithDuration(float d, Point position, float height, unsigned jumps) {
        return std::make_shared<GxJumpBy>(d, position, height, jumps);
    }
    GxJumpBy(float d, Point position, float height, unsigned jumps)
        : GxActionInterval(d), position_(position), delta_(position), height_(height), jumps_(jumps) {}
    const char* className() const override { return "GxJumpBy"; }
    GxActionRef copy() const override { return std::make_shared<GxJumpBy>(duration_, position_, height_, jumps_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override {
        return std::make_shared<GxJumpBy>(duration_, Point{-position_.x, -position_.y}, height_, jumps_);
    }

protected:
    Point position_;  // as given: an offset here, a point for GxJumpTo
    Point startPosition_, delta_;
    float height_;
    unsigned jumps_;
};

class GxJumpTo : public GxJumpBy {
public:
    static std::shared_ptr<GxJumpTo> actionWithDuration(float d, Point position, float height, unsigned jumps) {
        return std::make_shared<GxJumpTo>(d, position, height, jumps);
    }
    using GxJumpBy::GxJumpBy;
    const char* className() const override { return "GxJumpTo"; }
    GxActionRef copy() const override { return std::make_shared<GxJumpTo>(duration_, position_, height_, jumps_); }
    void startWithTarget(GxNode* target) override;
    GxFiniteTimeActionRef reverse() const override {
        return std::make_shared<GxJumpTo>(duration_, Point{-position_.x, -position_.y}, height_, jumps_);
    }
};

struct gxBezierConfig {
    Point endPosition, controlPoint_1, controlPoint_2;
};

class GxBezierBy : public GxActionInterval {
public:
    static std::shared_ptr<GxBezierBy> actionWithDuration(float d, gxBezierConfig c) {
        return std::make_shared<GxBezierBy>(d, c);
    }
    GxBezierBy(float d, gxBezierConfig c) : GxActionInterval(d), given_(c), config_(c) {}
    const char* className() const override { return "GxBezierBy"; }
    GxActionRef copy() const override { return std::make_shared<GxBezierBy>(duration_, given_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override;
    // The configuration as given at creation.
    const gxBezierConfig& config() const { return given_; }

protected:
    gxBezierConfig given_;
    gxBezierConfig config_;  // relative to the start position
    Point startPosition_;
};

class GxBezierTo : public GxBezierBy {
public:
    static std::shared_ptr<GxBezierTo> actionWithDuration(float d, gxBezierConfig c) {
        return std::make_shared<GxBezierTo>(d, c);
    }
    using GxBezierBy::GxBezierBy;
    const char* className() const override { return "GxBezierTo"; }
    GxActionRef copy() const override { return std::make_shared<GxBezierTo>(duration_, given_); }
    void startWithTarget(GxNode* target) override;
};

class GxScaleTo : public GxActionInterval {
public:
    static std::shared_ptr<GxScaleTo> actionWithDuration(float d, float s) {
        return std::make_shared<GxScaleTo>(d, s, s);
    }
    static std::shared_ptr<GxScaleTo> actionWithDuration(float d, float sx, float sy) {
        return std::make_shared<GxScaleTo>(d, sx, sy);
    }
    GxScaleTo(float d, float sx, float sy) : GxActionInterval(d), endScaleX_(sx), endScaleY_(sy) {}
    const char* className() const override { return "GxScaleTo"; }
    GxActionRef copy() const override { return std::make_shared<GxScaleTo>(duration_, endScaleX_, endScaleY_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

protected:
    float startScaleX_ = 1, startScaleY_ = 1, endScaleX_, endScaleY_, deltaX_ = 0, deltaY_ = 0;
};

class GxScaleBy : public GxScaleTo {
public:
    static std::shared_ptr<GxScaleBy> actionWithDuration(float d, float s) {
        return std::make_shared<GxScaleBy>(d, s, s);
    }
    static std::shared_ptr<GxScaleBy> actionWithDuration(float d, float sx, float sy) {
        return std::make_shared<GxScaleBy>(d, sx, sy);
    }
    using GxScaleTo::GxScaleTo;
    const char* className() const override { return "GxScaleBy"; }
    GxActionRef copy() const override { return std::make_shared<GxScaleBy>(duration_, endScaleX_, endScaleY_); }
    void startWithTarget(GxNode* target) override;
    GxFiniteTimeActionRef reverse() const override {
        return std::make_shared<GxScaleBy>(duration_, 1 / endScaleX_, 1 / endScaleY_);
    }
};

class GxBlink : public GxActionInterval {
public:
    static std::shared_ptr<GxBlink> actionWithDuration(float d, unsigned blinks) {
        return std::make_shared<GxBlink>(d, blinks);
    }
    GxBlink(float d, unsigned blinks) : GxActionInterval(d), times_(blinks) {}
    const char* className() const override { return "GxBlink"; }
    GxActionRef copy() const override { return std::make_shared<GxBlink>(duration_, times_); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxBlink>(duration_, times_); }

private:
    unsigned times_;
};

class GxFadeIn : public GxActionInterval {
public:
    static std::shared_ptr<GxFadeIn> actionWithDuration(float d) { return std::make_shared<GxFadeIn>(d); }
    using GxActionInterval::GxActionInterval;
    const char* className() const override { return "GxFadeIn"; }
    GxActionRef copy() const override { return std::make_shared<GxFadeIn>(duration_); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override;
};

class GxFadeOut : public GxActionInterval {
public:
    static std::shared_ptr<GxFadeOut> actionWithDuration(float d) { return std::make_shared<GxFadeOut>(d); }
    using GxActionInterval::GxActionInterval;
    const char* className() const override { return "GxFadeOut"; }
    GxActionRef copy() const override { return std::make_shared<GxFadeOut>(duration_); }
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override { return std::make_shared<GxFadeIn>(duration_); }
};

class GxFadeTo : public GxActionInterval {
public:
    static std::shared_ptr<GxFadeTo> actionWithDuration(float d, uint8_t opacity) {
        return std::make_shared<GxFadeTo>(d, opacity);
    }
    GxFadeTo(float d, uint8_t opacity) : GxActionInterval(d), toOpacity_(opacity) {}
    const char* className() const override { return "GxFadeTo"; }
    GxActionRef copy() const override { return std::make_shared<GxFadeTo>(duration_, toOpacity_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

private:
    uint8_t toOpacity_, fromOpacity_ = 0;
};

class GxTintTo : public GxActionInterval {
public:
    static std::shared_ptr<GxTintTo> actionWithDuration(float d, uint8_t r, uint8_t g, uint8_t b) {
        return std::make_shared<GxTintTo>(d, r, g, b);
    }
    GxTintTo(float d, uint8_t r, uint8_t g, uint8_t b) : GxActionInterval(d), to_{r, g, b} {}
    const char* className() const override { return "GxTintTo"; }
    GxActionRef copy() const override { return std::make_shared<GxTintTo>(duration_, to_.r, to_.g, to_.b); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

private:
    gxColor3B to_, from_;
};

class GxTintBy : public GxActionInterval {
public:
    static std::shared_ptr<GxTintBy> actionWithDuration(float d, int16_t r, int16_t g, int16_t b) {
        return std::make_shared<GxTintBy>(d, r, g, b);
    }
    GxTintBy(float d, int16_t r, int16_t g, int16_t b) : GxActionInterval(d), deltaR_(r), deltaG_(g), deltaB_(b) {}
    const char* className() const override { return "GxTintBy"; }
    GxActionRef copy() const override { return std::make_shared<GxTintBy>(duration_, deltaR_, deltaG_, deltaB_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    GxFiniteTimeActionRef reverse() const override {
        return std::make_shared<GxTintBy>(duration_, int16_t(-deltaR_), int16_t(-deltaG_), int16_t(-deltaB_));
    }

private:
    int16_t deltaR_, deltaG_, deltaB_, fromR_ = 0, fromG_ = 0, fromB_ = 0;
};

}  // namespace engine2d
