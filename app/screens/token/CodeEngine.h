#pragma once
// The one engine view the code screen and the nine-star screen share. The
// first screen that needs it makes it (and sets the director up); each screen
// that appears moves it into its own view, with its own frame, makes its own
// scene the running one and starts the animation; a screen that goes stops it.

#include <memory>

#include "lib/engine2d/director/GxDirector.h"
#include "platform/ui/View.h"

namespace CodeEngine {

// Moves the engine view into `host` (sent to the back) with `frame`, making
// it first when there is none. nullptr when no GL view can be made (no EGL
// display): the screen then runs without its animation.
std::shared_ptr<engine2d::GxGLView> attach(ui::View& host, const ui::Rect& frame,
                                           engine2d::GxDirectorDelegate* delegate);
// Makes the scene the running one (replaceScene when one is running,
// runWithScene otherwise) and starts the animation.
void run(const std::shared_ptr<engine2d::GxScene>& scene);
// Stops the animation and drops the delegate, when the engine is this
// delegate's (nullptr: whoever's it is).
void stop(engine2d::GxDirectorDelegate* delegate);

}  // namespace CodeEngine
