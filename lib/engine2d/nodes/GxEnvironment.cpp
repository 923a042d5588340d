#include "lib/engine2d/nodes/GxEnvironment.h"

namespace engine2d {

GxEnvironment& GxEnvironment::shared() {
    static GxEnvironment env;
    return env;
}

std::shared_ptr<GxScheduler> GxEnvironment::scheduler() {
    if (!scheduler_) scheduler_ = std::make_shared<GxScheduler>();
    return scheduler_;
}

GxEnvironment::~GxEnvironment() {
    if (actionManager_) actionManager_->removeAllActions();
}

std::shared_ptr<GxActionManager> GxEnvironment::actionManager() {
    if (!actionManager_) actionManager_ = std::make_shared<GxActionManager>();
    return actionManager_;
}

}  // namespace engine2d
