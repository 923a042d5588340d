#pragma once
// What the start tests share: the screen fixture (driver window, manual
// clock, process-wide objects reset) without server or stored account, the
// app's storyboard with a stand-in for every screen behind the launch
// router, and a store to set up.

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
#include "tests/support/analytics/TrackerHits.h"
#include "tests/support/screens/ScreenFixture.h"

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
using trackertest::storedHitsWith;

// No server and no stored account: each routing case writes its own store.
class StartTest : public screentest::ScreenFixture {
protected:
    StartTest() : ScreenFixture(Options{.server = false, .boundAccount = false}) {}

    void SetUp() override {
        ScreenFixture::SetUp();
        driver_ = &driver();
    }
    void TearDown() override {
        app_ = {};
        ScreenFixture::TearDown();
    }

    // Launches the app in the driver's window.
    LaunchedApp& launch(std::unique_ptr<ui::ScreenMap> storyboard = storyboardWithScreens()) {
        app_ = {};  // the previous start's delegate goes first, as with a new process
        app_ = launchApp(driver_->windowRef(), std::move(storyboard));
        driver_->settle();
        return app_;
    }
    std::vector<std::string> segues() const { return app_.storyboard->performedSegues(); }

    shell::Driver* driver_ = nullptr;
    LaunchedApp app_;
};

}  // namespace starttest
