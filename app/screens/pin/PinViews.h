#pragma once
// The pieces every screen of the lock area puts together: captions,
// buttons, text fields, the back button, drop-down notices and the help
// panel.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

namespace pinviews {

inline constexpr double kWidth = 320;

// A centred caption of the given size (several lines when they do not fit).
std::shared_ptr<ui::Label> caption(ui::View* parent, const ui::Rect& frame, const std::string& text, double size = 14);
// A rounded button with a title calling action on touch-up-inside.
std::shared_ptr<ui::Button> button(ui::View* parent, const ui::Rect& frame, const std::string& title,
                                   std::function<void()> action);
// A bordered one-line text field with a dark-grey placeholder.
std::shared_ptr<ui::TextField> field(ui::View* parent, const ui::Rect& frame, const std::string& placeholder,
                                     ui::KeyboardType keyboard, bool secure);
// The left bar button made from "navigationBarBackButton" (cap width 14)
// that pops the screen.
void installBackButton(ui::ViewController& screen);
// A right bar button "帮助" calling action.
void installHelpButton(ui::ViewController& screen, std::function<void()> action);
// The drop-down notice with "quickAlertB" in the screen's view.
void notice(ui::ViewController& screen, const std::string& text);
// The help panel "温馨提示" over the screen's view, shown from the help
// button; the bar buttons are off while it shows. onClosed runs when it has
// gone. The page view is reported.
void showHelp(ui::ViewController& screen, const std::vector<std::string>& questions,
              const std::vector<std::string>& answers, const std::string& pageWord,
              std::function<void()> onClosed = {});
// Resigns the first responder inside the screen's view, if any.
void endEditing(ui::ViewController& screen);

}  // namespace pinviews
