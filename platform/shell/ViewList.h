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

// The first line of the shell's list while anything on the screen moves,
// "#moving" and what moves (ui::screenMotion(): "#moving transition",
// "#moving animation scroll", ...): what the list shows then is where things
// pass, not where they stay. A list without it shows a still screen.
inline constexpr const char* kViewListMovingLine = "#moving";
// A driver outside the program asks the shell to answer it by writing a
// word (a number, say) to the file <list>.ask after it has sent its input.
// The shell reads that file at the start of each refresh, before it handles
// the window's events, and writes "#seen <word>" as a line of the list it
// writes at the end of that refresh: a list that says "#seen <word>" shows
// the window after everything the driver sent before asking.
inline constexpr const char* kViewListSeenLine = "#seen";
inline constexpr const char* kViewListAskSuffix = ".ask";

// One line per visible view showing text: "x y w h<TAB>text", the frame in
// window points rounded to whole points, the text with '\\' written "\\\\"
// and line breaks "\\n". "x y w h covered<TAB>text" when a tap on the
// text's centre would reach another view in front of it (a notice sliding
// over it, say). A visible view with an accessibility label (a picture
// button, a bar of a drawn ring) has a line of its own for the label:
// "x y w h label<TAB>label" ("... covered label<TAB>..." when covered).
std::string describeVisibleTexts(ui::View& root);

}  // namespace shell
