#pragma once
// The start, page and end that the programs drawing the engine's pictures for
// docs/ share. Each program is called as `<program> out.png`.

#include <memory>
#include <optional>
#include <string>

#include "platform/shell/Driver.h"
#include "platform/ui/Label.h"

namespace picture {

// Checks the command line (one output path), keeps GL shaders out of any
// cache, names the main thread and checks for an EGL display, saying what is
// wrong on stderr. The exit status to end with (2 for a bad command line, 1
// without a display); nullopt to go on drawing.
std::optional<int> start(int argc, char** argv);

// The page's background: the window of `driver` painted the docs' paper colour.
void paintPage(shell::Driver& driver);

// A bold header centred in `frame` of the window (a label's white ground).
std::shared_ptr<ui::Label> addHeader(shell::Driver& driver, const std::string& text, ui::Rect frame, double fontSize);

// Writes the window to `path` as PNG: 0, or 1 after saying it cannot.
int save(shell::Driver& driver, const std::string& path);

}  // namespace picture
