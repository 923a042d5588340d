#include "lib/engine2d/nodes/GxScene.h"

#include "lib/engine2d/nodes/GxEnvironment.h"

namespace engine2d {

bool GxScene::init() {
    if (!GxNode::init()) return false;
    setIgnoreAnchorPointForPosition(true);
    anchorPoint_ = {0.5f, 0.5f};
    setContentSize(GxEnvironment::shared().winSize);
    return true;
}

bool GxLayer::init() {
    if (!GxNode::init()) return false;
    setAnchorPoint({0.5f, 0.5f});
    setContentSize(GxEnvironment::shared().winSize);
    setIgnoreAnchorPointForPosition(true);
    isTouchEnabled_ = false;
    isAccelerometerEnabled_ = false;
    return true;
}

void GxLayer::registerWithTouchDispatcher() {
    GxEnvironment::shared().touchDispatcher().addStandardDelegate(std::static_pointer_cast<GxLayer>(shared_from_this()),
                                                                  0);
}

void GxLayer::setIsTouchEnabled(bool e) {
    if (e == isTouchEnabled_) return;
    isTouchEnabled_ = e;
    if (!isRunning_) return;
    if (e)
        registerWithTouchDispatcher();
    else
        GxEnvironment::shared().touchDispatcher().removeDelegate(this);
}

void GxLayer::onEnter() {
    if (isTouchEnabled_) registerWithTouchDispatcher();
    GxNode::onEnter();
}

namespace {
// Lets go of the accelerometer only when it is this layer's: another layer
// may have taken it since.
void releaseAccelerometer(ui::AccelerometerDelegate* layer) {
    auto& a = ui::Accelerometer::shared();
    if (a.delegate() == layer) a.setDelegate(nullptr);
}
}  // namespace

GxLayer::~GxLayer() { releaseAccelerometer(this); }

void GxLayer::setIsAccelerometerEnabled(bool e) {
    if (e == isAccelerometerEnabled_) return;
    isAccelerometerEnabled_ = e;
    if (!isRunning_) return;
    if (e)
        ui::Accelerometer::shared().setDelegate(this);
    else
        releaseAccelerometer(this);
}

void GxLayer::onEnterTransitionDidFinish() {
    if (isAccelerometerEnabled_) ui::Accelerometer::shared().setDelegate(this);
    GxNode::onEnterTransitionDidFinish();
}

void GxLayer::onExit() {
    if (isTouchEnabled_) GxEnvironment::shared().touchDispatcher().removeDelegate(this);
    if (isAccelerometerEnabled_) releaseAccelerometer(this);
    GxNode::onExit();
}

std::shared_ptr<GxLayerMultiplex> GxLayerMultiplex::layerWithLayers(std::vector<std::shared_ptr<GxLayer>> layers) {
    return gxMake<GxLayerMultiplex>(std::move(layers));
}

bool GxLayerMultiplex::init(std::vector<std::shared_ptr<GxLayer>> layers) {
    if (!GxLayer::init()) return false;
    layers_ = std::move(layers);
    enabledLayer_ = 0;
    if (!layers_.empty() && layers_[0]) addChild(layers_[0]);
    return true;
}

void GxLayerMultiplex::switchTo(unsigned n) {
    if (n >= layers_.size() || !layers_[n]) return;
    if (enabledLayer_ < layers_.size() && layers_[enabledLayer_]) removeChild(layers_[enabledLayer_].get(), true);
    enabledLayer_ = n;
    addChild(layers_[n]);
}

void GxLayerMultiplex::switchToAndReleaseMe(unsigned n) {
    if (n >= layers_.size() || !layers_[n]) return;
    if (enabledLayer_ < layers_.size() && layers_[enabledLayer_]) {
        auto leaving = layers_[enabledLayer_];
        layers_[enabledLayer_] = nullptr;
        removeChild(leaving.get(), true);
    }
    enabledLayer_ = n;
    addChild(layers_[n]);
}

}  // namespace engine2d
