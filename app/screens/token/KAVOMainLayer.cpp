#include "app/screens/token/KAVOMainLayer.h"

#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/particles/GxParticleSystemQuad.h"

using namespace engine2d;

KAVOMainLayer::Pair KAVOMainLayer::initParam() {
    Pair pair{GxScene::node(), KAVOMainLayer::node()};
    pair.scene->addChild(pair.layer);
    return pair;
}

bool KAVOMainLayer::init() {
    if (!GxLayer::init()) return false;
    for (size_t i = 0; i < kStarX.size(); ++i) {
        auto anchor = GxNode::node();
        anchor->setPosition({kStarX[i], kStarY[i]});
        addChild(anchor, 0);
        set_.push_back(anchor);
    }
    return true;
}

void KAVOMainLayer::changeMoving(const std::string& path) {
    removeAllChildrenWithCleanup(true);
    system_.reset();
    size_t n = 0;
    while (n < path.size() && path[n] >= '0' && path[n] <= '8') ++n;
    if (n == 0) return;
    system_ = GxParticleSystem::particleWithFile<GxParticleSystemQuad>("point.plist");
    if (!system_) return;
    system_->setPosition(set_[path[0] - '0']->position());
    addChild(system_, kEmitterZ, kEmitterTag);

    auto self = shared_from_this();
    std::vector<GxFiniteTimeActionRef> actions;
    for (size_t i = 1; i < n; ++i) {
        const int from = path[i - 1] - '0', to = path[i] - '0';
        auto data = std::make_shared<std::string>(std::to_string(from) + std::to_string(to));
        actions.push_back(GxMoveTo::actionWithDuration(kLeg, set_[to]->position()));
        actions.push_back(GxCallFuncND::actionWithTarget(
            self, "onCallFunc:Data:", [this, data](GxNode* node, void* d) { onCallFunc(node, d); }, data.get()));
        actions.push_back(GxDelayTime::actionWithDuration(kPause));
    }
    actions.push_back(GxCallFunc::actionWithTarget(self, "onCallFuncall:", [this] { onCallFuncall(system_.get()); }));
    system_->runAction(GxSequence::actionsWithArray(actions));
}

void KAVOMainLayer::onCallFunc(GxNode* /*node*/, void* data) {
    const std::string* text = static_cast<const std::string*>(data);
    if (!text || text->size() < 2) return;
    const int star = (*text)[1] - '0';
    if (star < 0 || star >= int(set_.size())) return;
    auto burst = GxParticleSystem::particleWithFile<GxParticleSystemQuad>("start2.plist");
    if (!burst) return;
    addChild(burst, kBurstZ, kEmitterTag);
    burst->setPosition(set_[star]->position());
}

void KAVOMainLayer::onCallFuncall(GxNode* /*node*/) {
    if (system_) system_->stopSystem();
}
