#pragma once
// Semi-modal presentation: a screen slides another view up from the bottom
// over part of the window, while a picture of the screen behind tilts back,
// shrinks and dims. A tap on the uncovered part, or dismissSemiModalView,
// slides the sheet down again and removes what the presentation added.
//
// The functions take the presenting controller; the sheet covers the view of
// its outermost parent controller (the target). One sheet at a time per
// target: presenting the view that is already shown does nothing, and a
// dismissal without a sheet (or a second one while the first slides away)
// leaves the target alone.

#include <memory>

#include "platform/ui/Animation.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace semimodal {

// Animation keys on the picture of the screen behind.
inline constexpr const char* kPushedBackAnimationKey = "pushedBackAnimation";
inline constexpr const char* kBringForwardAnimationKey = "bringForwardAnimation";
// The time of the slide, the tilt and the dimming.
inline constexpr double kDuration = 0.5;

}  // namespace semimodal

// Presents the controller's view as the sheet (the controller is kept alive
// while its view is shown).
void presentSemiViewController(ui::ViewController* presenter, const std::shared_ptr<ui::ViewController>& controller);
void presentSemiView(ui::ViewController* presenter, const std::shared_ptr<ui::View>& view);
void dismissSemiModalView(ui::ViewController* presenter);

// The view of the outermost parent of the controller (nullptr without a
// controller); loads the view when needed.
ui::View* parentTarget(ui::ViewController* presenter);
// The two-step tilt of the picture behind, for a target of the height:
// forward pushes it back, otherwise it comes to the front again.
std::shared_ptr<ui::AnimationGroup> animationGroupForward(bool forward, double targetHeight);

// The sheet shown over the target, and the overlay (picture and dismiss
// button) under it; nullptr when none is shown.
ui::View* semiModalSheet(const ui::View* target);
ui::View* semiModalOverlay(const ui::View* target);
