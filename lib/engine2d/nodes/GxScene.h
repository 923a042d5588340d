#pragma once
// Scenes and the plain layers: a scene is the root of a tree the director
// shows, centred on the window; a layer is a window-sized node; a multiplex
// layer shows one of several layers at a time.

#include <vector>

#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

class GxScene : public GxNode {
public:
    static std::shared_ptr<GxScene> node() { return gxMake<GxScene>(); }
    bool init() override;
    const char* className() const override { return "GxScene"; }
    // Scene transitions (a later part of the engine) answer true.
    virtual bool isTransition() const { return false; }
};

class GxLayer : public GxNode {
public:
    static std::shared_ptr<GxLayer> node() { return gxMake<GxLayer>(); }
    bool init() override;
    const char* className() const override { return "GxLayer"; }
    // Stored here; touch and accelerometer delivery register them while running.
    bool isTouchEnabled() const { return isTouchEnabled_; }
    void setIsTouchEnabled(bool e) { isTouchEnabled_ = e; }
    bool isAccelerometerEnabled() const { return isAccelerometerEnabled_; }
    void setIsAccelerometerEnabled(bool e) { isAccelerometerEnabled_ = e; }

protected:
    bool isTouchEnabled_ = false, isAccelerometerEnabled_ = false;
};

class GxLayerMultiplex : public GxLayer {
public:
    static std::shared_ptr<GxLayerMultiplex> layerWithLayers(std::vector<std::shared_ptr<GxLayer>> layers);
    bool init() override { return GxLayer::init(); }
    bool init(std::vector<std::shared_ptr<GxLayer>> layers);
    const char* className() const override { return "GxLayerMultiplex"; }
    // Shows layer n (the shown one is removed with cleanup). An index out of
    // range or an emptied slot is ignored.
    void switchTo(unsigned n);
    // The same, and the multiplex lets go of the layer it leaves.
    void switchToAndReleaseMe(unsigned n);
    unsigned enabledLayer() const { return enabledLayer_; }
    size_t layerCount() const { return layers_.size(); }

private:
    unsigned enabledLayer_ = 0;
    std::vector<std::shared_ptr<GxLayer>> layers_;
};

}  // namespace engine2d
