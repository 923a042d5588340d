#include "lib/engine2d/actions/GxActionTransform.h"

#include <cmath>

#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/nodes/GxProtocols.h"

namespace engine2d {

namespace {

// Reduces an angle into (-range, range) keeping its sign, as fmod does.
float reduceAngle(float a, float range) { return a > 0 ? std::fmod(a, range) : std::fmod(a, -range); }

// One step of ±360 into [-180, 180]: the short way round.
float shortTurn(float diff) {
    if (diff > 180) diff -= 360;
    if (diff < -180) diff += 360;
    return diff;
}

// Colour results keep the low 8 bits of the truncated value.
uint8_t lowByte(float v) { return uint8_t(int(v) & 0xFF); }

GxRGBAProtocol* rgba(GxNode* n) { return dynamic_cast<GxRGBAProtocol*>(n); }

float bezierAt(float a, float b, float c, float d, float t) {
    return std::pow(1 - t, 3.0f) * a + 3 * t * std::pow(1 - t, 2.0f) * b + 3 * std::pow(t, 2.0f) * (1 - t) * c +
           std::pow(t, 3.0f) * d;
}

}  // namespace

void GxRotateTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    startAngle_ = reduceAngle(target->rotation(), 360);
    diffAngle_ = shortTurn(dstAngle_ - startAngle_);
}

void GxRotateTo::update(float t) {
    if (target_) target_->setRotation(startAngle_ + diffAngle_ * t);
}

void GxRotateBy::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    startAngle_ = target->rotation();
}

void GxRotateBy::update(float t) {
    if (target_) target_->setRotation(startAngle_ + angle_ * t);
}

void GxMoveTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    startPosition_ = target->position();
    delta_ = endPosition_ - startPosition_;
}

void GxMoveTo::update(float t) {
    if (target_) target_->setPosition({startPosition_.x + delta_.x * t, startPosition_.y + delta_.y * t});
}

void GxMoveBy::startWithTarget(GxNode* target) {
    Point keep = delta_;
    GxMoveTo::startWithTarget(target);
    delta_ = keep;
}

void GxSkewTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    startSkewX_ = reduceAngle(target->skewX(), 180);
    deltaX_ = shortTurn(endSkewX_ - startSkewX_);
    startSkewY_ = reduceAngle(target->skewY(), 360);
    deltaY_ = shortTurn(endSkewY_ - startSkewY_);
}

void GxSkewTo::update(float t) {
    if (!target_) return;
    target_->setSkewX(startSkewX_ + deltaX_ * t);
    target_->setSkewY(startSkewY_ + deltaY_ * t);
}

void GxSkewBy::startWithTarget(GxNode* target) {
    GxSkewTo::startWithTarget(target);
    deltaX_ = skewX_;
    deltaY_ = skewY_;
    endSkewX_ = startSkewX_ + deltaX_;
    endSkewY_ = startSkewY_ + deltaY_;
}

void GxJumpBy::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    startPosition_ = target->position();
    delta_ = position_;
}

void GxJumpBy::update(float t) {
    if (!target_) return;
    float frac = std::fmod(t * float(jumps_), 1.0f);
    float y = height_ * 4 * frac * (1 - frac) + delta_.y * t;
    float x = delta_.x * t;
    target_->setPosition({startPosition_.x + x, startPosition_.y + y});
}

void GxJumpTo::startWithTarget(GxNode* target) {
    GxJumpBy::startWithTarget(target);
    delta_ = position_ - startPosition_;
}

void GxBezierBy::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    startPosition_ = target->position();
    config_ = given_;
}

void GxBezierBy::update(float t) {
    if (!target_) return;
    const gxBezierConfig& c = config_;
    float x = bezierAt(0, c.controlPoint_1.x, c.controlPoint_2.x, c.endPosition.x, t);
    float y = bezierAt(0, c.controlPoint_1.y, c.controlPoint_2.y, c.endPosition.y, t);
    target_->setPosition(startPosition_ + Point{x, y});
}

GxFiniteTimeActionRef GxBezierBy::reverse() const {
    gxBezierConfig r;
    r.endPosition = Point{} - given_.endPosition;
    r.controlPoint_1 = given_.controlPoint_2 - given_.endPosition;
    r.controlPoint_2 = given_.controlPoint_1 - given_.endPosition;
    return std::make_shared<GxBezierBy>(duration_, r);
}

void GxBezierTo::startWithTarget(GxNode* target) {
    GxBezierBy::startWithTarget(target);
    config_.controlPoint_1 = given_.controlPoint_1 - startPosition_;
    config_.controlPoint_2 = given_.controlPoint_2 - startPosition_;
    config_.endPosition = given_.endPosition - startPosition_;
}

void GxScaleTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    startScaleX_ = target->scaleX();
    startScaleY_ = target->scaleY();
    deltaX_ = endScaleX_ - startScaleX_;
    deltaY_ = endScaleY_ - startScaleY_;
}

void GxScaleTo::update(float t) {
    if (!target_) return;
    target_->setScaleX(startScaleX_ + deltaX_ * t);
    target_->setScaleY(startScaleY_ + deltaY_ * t);
}

void GxScaleBy::startWithTarget(GxNode* target) {
    GxScaleTo::startWithTarget(target);
    deltaX_ = startScaleX_ * endScaleX_ - startScaleX_;
    deltaY_ = startScaleY_ * endScaleY_ - startScaleY_;
}

void GxBlink::update(float t) {
    // The update at the end comes when the action is already done and
    // leaves the visibility as it was.
    if (!target_ || isDone() || times_ == 0) return;
    float slice = 1.0f / float(times_);
    float m = std::fmod(t, slice);
    target_->setVisible(m > slice / 2);
}

void GxFadeIn::update(float t) {
    if (auto* c = rgba(target_)) c->setOpacity(lowByte(255 * t));
}

GxFiniteTimeActionRef GxFadeIn::reverse() const { return std::make_shared<GxFadeOut>(duration_); }

void GxFadeOut::update(float t) {
    if (auto* c = rgba(target_)) c->setOpacity(lowByte(255 * (1 - t)));
}

void GxFadeTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    if (auto* c = rgba(target)) fromOpacity_ = c->opacity();
}

void GxFadeTo::update(float t) {
    if (auto* c = rgba(target_))
        c->setOpacity(lowByte(float(fromOpacity_) + (float(toOpacity_) - float(fromOpacity_)) * t));
}

void GxTintTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    if (auto* c = rgba(target)) from_ = c->color();
}

void GxTintTo::update(float t) {
    auto* c = rgba(target_);
    if (!c) return;
    auto channel = [t](uint8_t from, uint8_t to) { return lowByte(float(from) + (float(to) - float(from)) * t); };
    c->setColor({channel(from_.r, to_.r), channel(from_.g, to_.g), channel(from_.b, to_.b)});
}

void GxTintBy::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    if (auto* c = rgba(target)) {
        gxColor3B col = c->color();
        fromR_ = col.r, fromG_ = col.g, fromB_ = col.b;
    }
}

void GxTintBy::update(float t) {
    auto* c = rgba(target_);
    if (!c) return;
    c->setColor({lowByte(float(fromR_) + float(deltaR_) * t), lowByte(float(fromG_) + float(deltaG_) * t),
                 lowByte(float(fromB_) + float(deltaB_) * t)});
}

}  // namespace engine2d
