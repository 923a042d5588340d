#include "lib/engine2d/actions/GxActionInstant.h"

#include <cstdio>

#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/sprites/GxSprite.h"

namespace engine2d {

void GxShow::update(float) {
    if (target_) target_->setVisible(true);
}

GxFiniteTimeActionRef GxShow::reverse() const { return GxHide::action(); }

void GxHide::update(float) {
    if (target_) target_->setVisible(false);
}

void GxToggleVisibility::update(float) {
    if (target_) target_->setVisible(!target_->visible());
}

void GxFlipX::update(float) {
    if (auto* s = dynamic_cast<GxSprite*>(target_)) s->setFlipX(flipX_);
}

void GxFlipY::update(float) {
    if (auto* s = dynamic_cast<GxSprite*>(target_)) s->setFlipY(flipY_);
}

void GxPlace::update(float) {
    if (target_) target_->setPosition(position_);
}

std::string GxCallFunc::description() const {
    char buf[256];
    std::snprintf(buf, sizeof buf, "<%s = %p | Tag = %i | target = %p | selector = %s>", className(),
                  static_cast<const void*>(this), tag_, targetCallback_.get(), selector_.c_str());
    return buf;
}

// Each call holds what it calls, so a callback that stops its own action
// (and so releases it) still returns into live objects.
void GxCallFunc::execute() {
    if (!fn_) return;
    auto keep = targetCallback_;
    auto fn = fn_;
    fn();
}

void GxCallFuncN::execute() {
    if (!fn_) return;
    auto keep = targetCallback_;
    auto fn = fn_;
    fn(target_);
}

void GxCallFuncND::execute() {
    if (!callbackMethod_) return;
    auto keep = targetCallback_;
    auto fn = callbackMethod_;
    fn(target_, data_);
}

void GxCallFuncO::execute() {
    if (!fn_) return;
    auto keep = targetCallback_;
    auto object = object_;
    auto fn = fn_;
    fn(object);
}

void GxCallBlock::execute() {
    if (!block_) return;
    auto block = block_;
    block();
}

void GxCallBlockN::execute() {
    if (!block_) return;
    auto block = block_;
    block(target_);
}

void GxCallBlockO::execute() {
    if (!block_) return;
    auto object = object_;
    auto block = block_;
    block(object);
}

}  // namespace engine2d
