#include "lib/engine2d/actionmanager/GxAction.h"

#include <cstdio>

namespace engine2d {

std::string GxAction::description() const {
    char buf[128];
    std::snprintf(buf, sizeof buf, "<%s = %p | Tag = %i>", className(), static_cast<const void*>(this), tag_);
    return buf;
}

GxActionRef GxAction::copy() const {
    auto a = std::make_shared<GxAction>();
    a->tag_ = tag_;
    return a;
}

void GxAction::startWithTarget(GxNode* target) { originalTarget_ = target_ = target; }

void GxAction::stop() { target_ = nullptr; }

GxActionRef GxFiniteTimeAction::copy() const {
    auto a = std::make_shared<GxFiniteTimeAction>();
    a->tag_ = tag_;
    a->duration_ = duration_;
    return a;
}

}  // namespace engine2d
