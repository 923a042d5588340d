#include "lib/engine2d/nodes/GxEnvironment.h"

#include "platform/foundation/Resetters.h"

namespace engine2d {

GxEnvironment& GxEnvironment::shared() {
    static GxEnvironment env;
    // The sizes and counters; the scheduler and the dispatcher stay the director's.
    static const bool registered =
        (foundation::registerResetter("engine2d.environment", foundation::ResetPhase::SharedObject,
                                      [] {
                                          env.winSize = Size{};
                                          env.contentScaleFactor = 1;
                                          env.drawCounter = 0;
                                          env.orderOfArrival = 1;
                                      }),
         true);
    (void)registered;
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

GxEnvironment::~GxEnvironment() {
    if (actionManager_) actionManager_->removeAllActions();
}

std::shared_ptr<GxActionManager> GxEnvironment::actionManager() {
    if (!actionManager_) actionManager_ = std::make_shared<GxActionManager>();
    return actionManager_;
}

}  // namespace engine2d
