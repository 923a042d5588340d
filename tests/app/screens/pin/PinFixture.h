#pragma once
// The lock area's screens on the screen fixture: the area's map (with a
// stand-in for the hub, so segues into the app are recorded), the network
// reported up unless a case turns it off, and helpers for the store, the
// four-dot entry and the alerts.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/core/connectNetCheck.h"
#include "app/cycle/Constants.h"
#include "app/screens/pin/FourDotEntry.h"
#include "app/screens/pin/PinScreens.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ScreenMap.h"
#include "tests/support/screens/ScreenFixture.h"

class PinFixture : public screentest::ScreenFixture {
public:
    // Queues one scripted answer of the test server.
    void queue(const foundation::Dictionary& entry) { script(entry); }

protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        setNetwork(true);
        registerPinScreens(map);
        map.registerScreen("KAVOMainFrameViewController", [] { return std::make_shared<ui::ViewController>(); });
    }

    static void setNetwork(bool up) {
        connectNetCheck::setFlagsProbe(
            [up]() -> std::optional<uint32_t> { return up ? connectNetCheck::kReachable : 0u; });
    }
    static void put(const std::string& key, const std::string& value) {
        ASSERT_TRUE(Constants::upDateDBSetValue(value, key)) << key;
    }
    static std::string stored(const std::string& key) {
        return Constants::getValueFromDBByKey(key).value_or("<no store>");
    }

    template <class Screen>
    std::shared_ptr<Screen> open(const char* identifier) {
        auto screen = std::dynamic_pointer_cast<Screen>(show(map, identifier));
        EXPECT_TRUE(screen) << identifier;
        return screen;
    }

    // Types the digits one key at a time, then lets the entry's delay pass.
    void typePin(const std::string& digits) {
        for (char c : digits) driver().type(std::string(1, c));
        driver().advance(0.5);
    }

    // The alert in front: "title|message", or "" when none.
    static std::string alertText() {
        ui::AlertView* alert = ui::AlertView::frontmost();
        return alert ? alert->title() + "|" + alert->message() : "";
    }
    static int alertTag() {
        ui::AlertView* alert = ui::AlertView::frontmost();
        return alert ? alert->tag() : -1;
    }
    // Presses a button of the alert in front and lets it go.
    void pressAlert(int index = 0) {
        ui::AlertView* alert = ui::AlertView::frontmost();
        ASSERT_NE(alert, nullptr);
        alert->clickButtonAtIndex(index);
        driver().advance(0.5);
    }
    // Waits for what a command's answer shows, then lets its overlay go.
    template <class Screen>
    bool answered(Screen& screen, int tag, const std::function<bool()>& shown) {
        if (!waitFor(shown)) return false;
        if (!waitFor([&] { return !screen.isWaitingForResponse(tag); })) return false;
        driver().advance(0.5);
        return true;
    }
    void setServerTime(long long seconds) { server().control("clock", "{\"time\": " + std::to_string(seconds) + "}"); }
    bool segued(const std::string& record) const {
        for (const auto& s : map.performedSegues())
            if (s == record) return true;
        return false;
    }

    ui::ScreenMap map;
};
