#pragma once
// Reading the window tree back as a person sees it: the visible views (none
// hidden or fully transparent on the way up) and a plain-text list of those
// that show text, with their frames in window points.
//
// The headless driver finds views with it; the desktop shell writes the list
// to the file named by QUENTA_VIEW_LIST after each picture it shows, so a test
// that runs the real program under a virtual display can find what to click.

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace shell {

// The visible views under root (root included) that pred accepts, in tree order.
std::vector<ui::View*> visibleViews(ui::View& root, const std::function<bool(ui::View*)>& pred);

// One line per visible view showing text: "x y w h<TAB>text", the frame in
// window points rounded to whole points, the text with '\\' written "\\\\"
// and line breaks "\\n".
std::string describeVisibleTexts(ui::View& root);

}  // namespace shell
