#pragma once
// What the node tree takes from the director, without depending on GL: the
// scheduler every node uses, the window size in points, the content scale
// and the engine's draw counter. The director fills it in; tests of the
// node tree set it themselves.

#include <memory>

#include "lib/engine2d/actionmanager/GxActionManager.h"
#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/scheduler/GxScheduler.h"

namespace engine2d {

struct GxEnvironment {
    static GxEnvironment& shared();
    GxEnvironment() = default;
    // Drops every running action: nodes and their actions hold each other.
    ~GxEnvironment();
    // Made on first use; the director ticks this one.
    std::shared_ptr<GxScheduler> scheduler();
    void setScheduler(std::shared_ptr<GxScheduler> s) { scheduler_ = std::move(s); }
    // Made on first use; the director schedules its update on the scheduler
    // before every other update.
    std::shared_ptr<GxActionManager> actionManager();

    Size winSize;
    float contentScaleFactor = 1;
    unsigned drawCounter = 0;
    // Stamped on each added or reordered child.
    unsigned orderOfArrival = 1;

private:
    std::shared_ptr<GxScheduler> scheduler_;
    std::shared_ptr<GxActionManager> actionManager_;
};

}  // namespace engine2d
