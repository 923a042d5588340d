#include "lib/engine2d/effects/GxParallaxNode.h"

namespace engine2d {

bool GxParallaxNode::init() {
    if (!GxNode::init()) return false;
    parallaxArray_ = std::make_unique<GxArray<CGPointObject>>(5);
    lastPosition_ = Point{-100, -100};
    return true;
}

void GxParallaxNode::addChild(const std::shared_ptr<GxNode>&, int, int) {}

void GxParallaxNode::addChild(const std::shared_ptr<GxNode>& child, int z, Point ratio, Point offset) {
    if (!child || child->parent()) {
        GxNode::addChild(child, z, child ? child->tag() : 0);  // refused as every node refuses it
        return;
    }
    auto record = CGPointObject::pointWithCGPoint(ratio, offset);
    record->setChild(child.get());
    parallaxArray_->addObject(record);
    child->setPosition(Point{position_.x * ratio.x + offset.x, position_.y * ratio.y + offset.y});
    GxNode::addChild(child, z, child->tag());
}

void GxParallaxNode::removeChild(const GxNode* child, bool cleanup) {
    for (unsigned i = 0; i < parallaxArray_->count(); ++i) {
        if (parallaxArray_->objectAtIndex(i)->child() == child) {
            parallaxArray_->removeObjectAtIndex(i);
            break;
        }
    }
    GxNode::removeChild(child, cleanup);
}

void GxParallaxNode::removeAllChildrenWithCleanup(bool cleanup) {
    parallaxArray_->removeAllObjects();
    GxNode::removeAllChildrenWithCleanup(cleanup);
}

Point GxParallaxNode::absolutePosition() const {
    Point ret = position_;
    for (auto p = parent(); p; p = p->parent()) ret = ret + p->position();
    return ret;
}

void GxParallaxNode::visit() {
    const Point pos = absolutePosition();
    if (pos.x != lastPosition_.x || pos.y != lastPosition_.y) {
        for (unsigned i = 0; i < parallaxArray_->count(); ++i) {
            auto record = parallaxArray_->objectAtIndex(i);
            const Point r = record->ratio(), o = record->offset();
            record->child()->setPosition(Point{-pos.x + pos.x * r.x + o.x, -pos.y + pos.y * r.y + o.y});
        }
        lastPosition_ = pos;
    }
    GxNode::visit();
}

}  // namespace engine2d
