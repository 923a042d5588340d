#pragma once
// What nearly every screen puts around its content.

#include "platform/ui/ViewController.h"

namespace ScreenChrome {

// The back button on the left of the screen's bar: the stretched picture
// "navigationBarBackButton" (left cap 14 points); a tap pops the screen,
// animated.
void installBackButton(ui::ViewController& screen);

// The decoration picture "anying_img_3" at 0.55 of its size, centred on the
// view, with its bottom `gapAbove` points above the content's top, so that
// it shows only when the content is pulled down.
void addPullDecoration(ui::View& scrollView, double gapAbove = 0);

}  // namespace ScreenChrome
