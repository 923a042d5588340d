#pragma once
// What the start tests share: a driver window, the app's storyboard with a
// stand-in for every screen behind the launch router, a store to set up,
// and clean-up of the shared application, alerts and tracker.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/DBController.h"
#include "app/start/KAVOStoryboard.h"
#include "app/start/QuentaMain.h"
#include "lib/analytics/TrkTracker.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/shell/Driver.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace starttest {

// A screen that only says which one it is.
class StandIn : public ui::ViewController {
public:
    explicit StandIn(std::string name) : name_(std::move(name)) {}
    const char* className() const override { return name_.c_str(); }

private:
    std::string name_;
};

// The storyboard with stand-ins for the four screens behind the router.
inline std::unique_ptr<ui::ScreenMap> storyboardWithScreens() {
    auto map = KAVOStoryboard::make();
    for (const char* id : {KAVOStoryboard::kMainScreen, KAVOStoryboard::kStartPasswordScreen,
                           KAVOStoryboard::kGuideScreen, KAVOStoryboard::kBindScreen}) {
        std::string name = id;
        map->registerScreen(id, [name] { return std::make_shared<StandIn>(name); });
    }
    return map;
}

// Writes the store with the given rows (a fresh file with the table).
inline void writeStore(const std::map<std::string, std::string>& rows) {
    DBController db;
    ASSERT_TRUE(db.initDatabase());
    for (const auto& [key, value] : rows) ASSERT_TRUE(db.InsertTable(key, value));
    db.closeDatabase();
}

// Hits in the tracker's store whose text holds `needle`.
inline int storedHitsWith(const std::string& needle) {
    auto* store = TrkTracker::sharedTracker().persistentHitStore();
    if (!store) return -1;
    int n = 0;
    for (const auto& hit : store->peekHits(1000))
        if (hit.hitString().find(needle) != std::string::npos) ++n;
    return n;
}

class StartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::shared().reset();
        ui::Image::clearNamedCache();
    }
    void TearDown() override {
        while (auto* alert = ui::AlertView::frontmost()) {
            alert->setDelegate(nullptr);
            alert->dismissWithClickedButtonIndex(0, false);
        }
        app_ = {};
        ui::Application::shared().reset();
        TrkTracker::sharedTracker().stopTracker();
        ui::Screen::main().reset();
        ui::Image::clearNamedCache();
    }

    // Launches the app in the driver's window.
    LaunchedApp& launch(std::unique_ptr<ui::ScreenMap> storyboard = storyboardWithScreens()) {
        app_ = {};  // the previous start's delegate goes first, as with a new process
        app_ = launchApp(driver_->windowRef(), std::move(storyboard));
        driver_->settle();
        return app_;
    }
    std::vector<std::string> segues() const { return app_.storyboard->performedSegues(); }

    std::unique_ptr<shell::Driver> driver_ = std::make_unique<shell::Driver>();
    LaunchedApp app_;
};

}  // namespace starttest
