#pragma once
// Small pieces the area's screens share.
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Image.h"
#include "platform/ui/ViewController.h"

namespace protectui {

// Puts the app's back button ("navigationBarBackButton", cap 14) in the
// screen's left bar item; it pops the screen, animated.
void installBackButton(ui::ViewController& screen);

// A drop-down notice with the "quickAlertB" picture over the view.
void notice(ui::View* view, const std::optional<std::string>& text);

// The help panel over the screen's navigation controller, with the
// questions and answers; the bar buttons are off while it shows. Records
// the page view.
void showHelpPanel(ui::ViewController& screen, const std::string& title, const std::vector<std::string>& questions,
                   const std::vector<std::string>& answers, const std::string& pageWord);

// The green button picture, its rounded ends kept when it stretches.
ui::ImageRef buttonImage();

// Writes the defaults to disk.
void synchronizeDefaults();

}  // namespace protectui
