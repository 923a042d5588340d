#pragma once
// The fixture every screen test starts from:
//  - every process-wide object (application, main screen, image cache,
//    alerts, action sheets, notices, tracker) as the test main's reset after
//    the previous case left it;
//  - the manual clock installed and a headless driver window of 320x480
//    (or the tall screen's 320x568 points at scale 2);
//  - the test security server started on 127.0.0.1 and made the app's server;
//  - the key/value store and the user defaults seeded as a bound account
//    (the rows a finished binding writes), and the server told that the
//    phone is bound, so no test runs a live binding in its set-up;
//  - the app's exits recorded instead of ending the process.
// A fixture that needs less says so in its constructor's Options.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Value.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"
#include "platform/ui/ViewController.h"
#include "tests/server/TestServer.h"

namespace screentest {

// The account the fixture seeds: the store's uuid and device identifier, the
// token key and the server-minus-device time.
struct BoundAccount {
    std::string uuid = "6F9619FF-8B86-4011-B42D-00C04FC964FF";
    std::string mac = "0e3c0b1f9a4d4a55b0c1d2e3f4a5b6c7";
    std::string bid = "3132333435363738393031323334353637383930";  // "12345678901234567890"
    std::string difftime = "0";
};

// Writes the store of a finished binding for the account (as the binding
// synchroniser does) and the defaults a launched, bound app has.
// False when the store cannot be written.
bool seedBoundAccount(const BoundAccount& account);

class ScreenFixture : public ::testing::Test {
public:
    struct Options {
        bool server = true;        // start the test security server
        bool boundAccount = true;  // seed the store and defaults (needs nothing else)
        bool tall = false;         // the tall screen: 320x568 points at scale 2
    };

    ScreenFixture() = default;
    explicit ScreenFixture(Options options) : options_(options) {}

protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the screen in a navigation controller in the window and runs its
    // appearance (viewWillAppear, viewDidAppear). Returns the screen.
    template <class Screen>
    std::shared_ptr<Screen> show(std::shared_ptr<Screen> screen) {
        present(screen);
        return screen;
    }
    // Makes a screen of the map by its identifier and shows it.
    std::shared_ptr<ui::ViewController> show(ui::ScreenMap& map, const std::string& identifier);

    // Runs the main loop in real time (the server and the command threads are
    // real) until pred holds; false after `seconds`.
    bool waitFor(const std::function<bool()>& pred, double seconds = 20);

    // --- the test server ---
    testserver::SecurityServer& server() { return *server_; }
    // Queues one scripted answer (see tests/server/security_server.py).
    void script(const foundation::Dictionary& entry);
    // The server's log of requests, oldest first.
    foundation::Array serverLog();
    // The command numbers the server saw since the test started.
    std::vector<int> commands();
    // The texts of the drop-down notices queued or showing.
    std::vector<std::string> noticeTexts();

    const BoundAccount& account() const { return account_; }
    shell::Driver& driver() { return *driver_; }
    foundation::ManualClock& clock() { return **clock_; }
    ui::NavigationController* navigation() { return nav_.get(); }
    // Exit codes the app asked for (the process does not end).
    const std::vector<int>& exits() const { return exits_; }

private:
    void present(const std::shared_ptr<ui::ViewController>& screen);

    Options options_;
    BoundAccount account_;
    std::unique_ptr<foundation::ManualClockScope> clock_;
    std::unique_ptr<testserver::SecurityServer> server_;
    std::unique_ptr<shell::Driver> driver_;
    std::shared_ptr<ui::NavigationController> nav_;
    std::vector<int> exits_;
};

}  // namespace screentest
