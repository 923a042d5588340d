#pragma once
// What the node tree takes from the director, without depending on GL: the
// scheduler every node uses, the touch dispatcher, the window size in points,
// the content scale and the engine's draw counter. The director fills it in; tests of the
// node tree set it themselves.

#include <memory>

#include "lib/engine2d/actionmanager/GxActionManager.h"
#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/scheduler/GxScheduler.h"
#include "lib/engine2d/touch/GxTouchDispatcher.h"

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

    // The director's (made on first use when there is no director).
    GxTouchDispatcher& touchDispatcher();
    void setTouchDispatcher(std::shared_ptr<GxTouchDispatcher> d) { touchDispatcher_ = std::move(d); }

    // A point of the view (origin top left) in GL coordinates (origin bottom
    // left), as the director's convertToGL.
    Point convertToGL(Point ui) const { return {ui.x, winSize.height - ui.y}; }

    Size winSize;
    float contentScaleFactor = 1;
    unsigned drawCounter = 0;
    // Stamped on each added or reordered child.
    unsigned orderOfArrival = 1;

private:
    std::shared_ptr<GxScheduler> scheduler_;
    std::shared_ptr<GxActionManager> actionManager_;
    // Last: it may hold receivers (nodes) that still reach the action manager.
    std::shared_ptr<GxTouchDispatcher> touchDispatcher_;
};

}  // namespace engine2d
