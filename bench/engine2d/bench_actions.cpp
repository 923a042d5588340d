// Stepping 10,000 running actions on 2,000 nodes for one frame: five per
// node, a mix of plain, repeated, eased and composed actions that never end
// during the measurement.

#include <benchmark/benchmark.h>

#include "lib/engine2d/actionmanager/GxActionManager.h"
#include "lib/engine2d/actions/GxActionEase.h"
#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionTransform.h"
#include "lib/engine2d/actions/GxActionWrappers.h"
#include "lib/engine2d/nodes/GxNode.h"

using namespace engine2d;

namespace {

void BM_StepTenThousandActions(benchmark::State& state) {
    auto manager = std::make_shared<GxActionManager>();
    std::vector<GxNodeRef> nodes;
    int calls = 0;
    for (int i = 0; i < 2000; ++i) {
        auto n = GxNode::node();
        n->setActionManager(manager);
        n->onEnter();
        n->runAction(GxRepeatForever::actionWithAction(GxMoveBy::actionWithDuration(1, {10, 0})));
        n->runAction(GxRepeatForever::actionWithAction(GxRotateBy::actionWithDuration(2, 90)));
        n->runAction(GxScaleTo::actionWithDuration(1e6f, 2));
        n->runAction(GxSequence::actions(
            {GxDelayTime::actionWithDuration(1e6f), GxCallBlock::actionWithBlock([&calls] { calls++; })}));
        n->runAction(GxRepeatForever::actionWithAction(
            GxEaseSineInOut::actionWithAction(GxMoveBy::actionWithDuration(0.5f, {0, 5}))));
        nodes.push_back(n);
    }
    manager->update(0);  // every action's first step
    for (auto _ : state) manager->update(1.0f / 60);
    state.counters["actions"] = double(manager->targetCount() * 5);
    benchmark::DoNotOptimize(calls);
    manager->removeAllActions();
}
BENCHMARK(BM_StepTenThousandActions)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
