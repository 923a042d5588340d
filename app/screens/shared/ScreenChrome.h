#pragma once
// What nearly every screen puts around its content.

#include <memory>

#include "platform/ui/TableView.h"
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

// A table over the paper picture "bg4.jpg", without separator lines, that
// keeps the size of the view it fills. The caller registers its cells and
// adds it to the view.
std::shared_ptr<ui::TableView> makePaperTable(const ui::Rect& frame, ui::TableViewDataSource& source,
                                              ui::TableViewDelegate& delegate);

}  // namespace ScreenChrome
