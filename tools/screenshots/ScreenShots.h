#pragma once
// Drawing screens of the screen map headlessly into PNG pictures, so anyone
// can see the app without running it. Each screen that wants a picture adds
// one ScreenShot entry (tools/screenshots/Entries.cpp for the app's screens);
// scripts/screenshots draws them all into docs/screens/<name>.png.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/ScreenMap.h"

namespace screenshots {

struct ScreenShot {
    // The picture's name: docs/screens/<name>.png.
    std::string name;
    // The screen's identifier in the map.
    std::string screen;
    // Seeds what the screen reads (store rows, defaults) before it is made;
    // runs with a fresh, empty $QUENTA_HOME and the manual clock installed.
    std::function<void()> prepare;
    // Drives the screen into the state to draw (taps, typing, clock), after
    // it has appeared. The window is the driver's.
    std::function<void(ui::ViewController& screen)> act;
    // The same with the driver at hand (drags, the manual clock's frames),
    // after act; for screens that wait on a server or animate.
    std::function<void(ui::ViewController& screen, shell::Driver& driver)> drive;
    // Shown inside a navigation controller (with its bar), else as the root.
    bool inNavigation = true;
    ui::Size size{320, 480};
    double scale = 2;
};

// Draws one screen: a fresh home folder, the manual clock, a headless
// window, the screen made from the map and shown, then the window rendered
// to `path`. False, with the reason in *error (kScreenShotErrorDomain), when
// the map has no such screen or the picture cannot be written.
inline const std::string kScreenShotErrorDomain = "ScreenShotErrorDomain";
enum ScreenShotErrorCode : int { kScreenShotNoHome = 1, kScreenShotNoSuchScreen = 2, kScreenShotNotWritten = 3 };
bool renderScreenShot(const std::function<std::unique_ptr<ui::ScreenMap>()>& makeMap, const ScreenShot& shot,
                      const std::string& path, foundation::ErrorRef* error = nullptr);

// The program's body:  <program> [--out DIR] [NAME...]
// draws the named entries (all without names) into DIR/<name>.png
// (default docs/screens under the source tree). Returns the exit code.
int screenshotsMain(int argc, char** argv, const std::function<std::unique_ptr<ui::ScreenMap>()>& makeMap,
                    const std::vector<ScreenShot>& entries);

}  // namespace screenshots
