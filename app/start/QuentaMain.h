#pragma once
// Starting the app: the application delegate, the screen map with the
// launch router as its first screen shown in the window, the launch, and the
// main loop.

#include <memory>
#include <string>

#include "app/start/KAVOAppDelegate.h"
#include "platform/ui/ScreenMap.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

struct LaunchedApp {
    std::shared_ptr<KAVOAppDelegate> delegate;
    std::unique_ptr<ui::ScreenMap> storyboard;
    std::shared_ptr<ui::ViewController> rootViewController;
};

// Makes the delegate and the first screen of the storyboard in the window,
// launches the shared application (didFinishLaunchingWithOptions), then
// shows the first screen (viewWillAppear, viewDidAppear: the routing).
LaunchedApp launchApp(const std::shared_ptr<ui::Window>& window, std::unique_ptr<ui::ScreenMap> storyboard,
                      const foundation::Dictionary& launchOptions = {});

// A write past the file-size limit (ulimit -f) fails with an error that the
// store reports, instead of ending the process with SIGXFSZ.
void ignoreFileSizeSignal();

// The process: "--tall" and "--scale=2" pick the screen; "--open-url URL
// --source-app ID" hands a URL of our scheme to the app once it runs, as
// another app opening it would. Runs until the window is closed.
int quentaMain(int argc, char** argv);
