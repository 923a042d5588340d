#include "lib/engine2d/actions/GxActionTween.h"

#include <cmath>

#include "lib/engine2d/misc/GxProgressTimer.h"
#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/nodes/GxProtocols.h"

namespace engine2d {

bool gxSetValueForKey(GxNode* target, const std::string& key, float value) {
    if (!target) return false;
    if (auto* own = dynamic_cast<GxTweenable*>(target); own && own->setValueForKey(key, value)) return true;
    if (key == "rotation") return target->setRotation(value), true;
    if (key == "scale") return target->setScale(value), true;
    if (key == "scaleX") return target->setScaleX(value), true;
    if (key == "scaleY") return target->setScaleY(value), true;
    if (key == "skewX") return target->setSkewX(value), true;
    if (key == "skewY") return target->setSkewY(value), true;
    if (key == "vertexZ") return target->setVertexZ(value), true;
    if (key == "opacity") {
        auto* c = dynamic_cast<GxRGBAProtocol*>(target);
        if (!c) return false;
        // Opacity is a byte: the truncated value's low 8 bits.
        c->setOpacity(uint8_t(int(value) & 0xFF));
        return true;
    }
    if (key == "percentage") {
        auto* p = dynamic_cast<GxProgressTimer*>(target);
        if (!p) return false;
        p->setPercentage(value);
        return true;
    }
    return false;
}

void GxActionTween::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    delta_ = to_ - from_;
}

void GxActionTween::update(float t) { gxSetValueForKey(target_, key_, to_ - delta_ * (1 - t)); }

void GxProgressTo::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    auto* timer = dynamic_cast<GxProgressTimer*>(target);
    from_ = timer ? timer->percentage() : 0;
    // A full timer starts again from empty.
    if (from_ == 100) from_ = 0;
}

void GxProgressTo::update(float t) {
    if (auto* timer = dynamic_cast<GxProgressTimer*>(target_)) timer->setPercentage(from_ + (to_ - from_) * t);
}

void GxProgressFromTo::update(float t) {
    if (auto* timer = dynamic_cast<GxProgressTimer*>(target_)) timer->setPercentage(from_ + (to_ - from_) * t);
}

}  // namespace engine2d
