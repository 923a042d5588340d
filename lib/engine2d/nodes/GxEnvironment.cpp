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

GxTouchDispatcher& GxEnvironment::touchDispatcher() {
    if (!touchDispatcher_) touchDispatcher_ = std::make_shared<GxTouchDispatcher>();
    return *touchDispatcher_;
}

}  // namespace engine2d
