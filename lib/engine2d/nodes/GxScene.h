#pragma once
// Scenes and the plain layers: a scene is the root of a tree the director
// shows, centred on the window; a layer is a window-sized node; a multiplex
// layer shows one of several layers at a time.

#include <vector>

#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/touch/GxTouchDispatcher.h"
#include "platform/ui/Accelerometer.h"

namespace engine2d {

class GxScene : public GxNode {
public:
    static std::shared_ptr<GxScene> node() { return gxMake<GxScene>(); }
    bool init() override;
    const char* className() const override { return "GxScene"; }
    // Scene transitions (a later part of the engine) answer true.
    virtual bool isTransition() const { return false; }
};

// A full-window node that can take touches and accelerometer readings:
// while it runs with touches enabled it is registered with the touch
// dispatcher (as a standard receiver at priority 0 unless a subclass
// registers otherwise); with the accelerometer enabled it is the shared
// accelerometer's delegate from the end of its entering transition until it
// exits. A subclass takes the readings in accelerometerDidAccelerate.
class GxLayer : public GxNode,
                public GxStandardTouchDelegate,
                public GxTargetedTouchDelegate,
                public ui::AccelerometerDelegate {
public:
    static std::shared_ptr<GxLayer> node() { return gxMake<GxLayer>(); }
    ~GxLayer() override;
    bool init() override;
    const char* className() const override { return "GxLayer"; }
    bool isTouchEnabled() const { return isTouchEnabled_; }
    // Registers or removes at once while running; otherwise only stored.
    void setIsTouchEnabled(bool e);
    virtual void registerWithTouchDispatcher();
    void onEnter() override;
    void onEnterTransitionDidFinish() override;
    void onExit() override;
    // Claims every touch when registered as a targeted receiver.
    bool gxTouchBegan(const GxTouch&, const ui::Event&) override { return true; }
    bool isAccelerometerEnabled() const { return isAccelerometerEnabled_; }
    // Becomes or stops being the accelerometer's delegate at once while
    // running; otherwise only stored.
    void setIsAccelerometerEnabled(bool e);
    void accelerometerDidAccelerate(ui::Accelerometer&, const ui::Acceleration&) override {}

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
