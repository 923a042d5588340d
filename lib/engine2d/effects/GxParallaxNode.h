#pragma once
// A node that moves each child by its own fraction of the node's position
// on screen, so layers further back scroll more slowly than those in front.
// Each child is added with a ratio and an offset; before every visit the
// node sums its own and its ancestors' positions and, when that changed
// since the last visit, places every child at
// (-pos + pos * ratio + offset) per axis.

#include <memory>

#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/support/GxArray.h"

namespace engine2d {

// The ratio and offset of one parallax child (the child is held by the
// node's children, not here).
class CGPointObject {
public:
    static std::shared_ptr<CGPointObject> pointWithCGPoint(Point ratio, Point offset) {
        auto p = std::make_shared<CGPointObject>();
        p->initWithCGPoint(ratio, offset);
        return p;
    }
    void initWithCGPoint(Point ratio, Point offset) {
        ratio_ = ratio;
        offset_ = offset;
    }
    Point ratio() const { return ratio_; }
    void setRatio(Point r) { ratio_ = r; }
    Point offset() const { return offset_; }
    void setOffset(Point o) { offset_ = o; }
    GxNode* child() const { return child_; }
    void setChild(GxNode* c) { child_ = c; }

private:
    Point ratio_, offset_;
    GxNode* child_ = nullptr;
};

class GxParallaxNode : public GxNode {
public:
    static std::shared_ptr<GxParallaxNode> node() { return gxMake<GxParallaxNode>(); }
    bool init() override;
    const char* className() const override { return "GxParallaxNode"; }

    // Children join only with a ratio and an offset: the plain forms add nothing.
    void addChild(const std::shared_ptr<GxNode>& child, int z, int tag) override;
    using GxNode::addChild;
    void addChild(const std::shared_ptr<GxNode>& child, int z, Point ratio, Point offset);
    void removeChild(const GxNode* child, bool cleanup) override;
    void removeAllChildrenWithCleanup(bool cleanup) override;

    // This node's position plus its ancestors' (no scale, rotation or anchor).
    Point absolutePosition() const;
    void visit() override;

    GxArray<CGPointObject>* parallaxArray() const { return parallaxArray_.get(); }
    Point lastPosition() const { return lastPosition_; }

private:
    std::unique_ptr<GxArray<CGPointObject>> parallaxArray_;
    Point lastPosition_{-100, -100};
};

}  // namespace engine2d
