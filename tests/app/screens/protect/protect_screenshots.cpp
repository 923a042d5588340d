// Draws the protect area's screens against the test security server, with
// the seeded bound account:
//   protect_screenshots --out docs/screens [NAME...]
#include <cstdio>

#include "app/core/StoreKeys.h"
#include "app/screens/protect/AccountProtectViewController.h"
#include "app/screens/protect/ChangePasswordViewController.h"
#include "app/screens/protect/KAVOACLockViewController.h"
#include "app/screens/protect/LockMask.h"
#include "app/screens/protect/PersonCenterViewController.h"
#include "app/screens/protect/ProtectScreens.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/server/TestServer.h"
#include "tests/support/screens/ScreenFixture.h"
#include "tools/screenshots/ScreenShots.h"

namespace {

testserver::SecurityServer* server = nullptr;

std::unique_ptr<ui::ScreenMap> protectMap() {
    auto map = std::make_unique<ui::ScreenMap>();
    registerProtectScreens(*map);
    return map;
}

// A bound account whose server keeps the given protections.
void seed(const std::string& protectState) {
    screentest::BoundAccount account;
    screentest::seedBoundAccount(account);
    server->control("reset");
    server->control("account", "{\"devices\": {\"" + account.uuid + "\": \"" + account.mac + "\"}}");
    server->control("protect", protectState);
}

// Lets the command's reply arrive, then the overlay fade out.
void settle(ui::ViewController& screen, int tag, shell::Driver& driver) {
    auto* commands = dynamic_cast<KAVOCommandViewController*>(&screen);
    foundation::RunLoop::main().runUntil([&] { return commands && !commands->isWaitingForResponse(tag); }, 20);
    driver.advance(1);
}

ui::Point ringPoint(ui::ViewController& screen, int index) {
    const ui::Rect f = LockRing::frameOf(index);
    return screen.view()->convertPointToView({f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2}, nullptr);
}

std::vector<screenshots::ScreenShot> entries() {
    std::vector<screenshots::ScreenShot> out;

    screenshots::ScreenShot table;
    table.name = "protect-table";
    table.screen = kAccountProtectScreen;
    table.prepare = [] {
        seed(R"({"protects": ["10", "80", "19", "8"], "lock_mask": 3})");
        foundation::UserDefaults::standard().setInteger(StoreKeys::accountlock, (1 << 22) | (1 << 23) | 3);
    };
    table.drive = [](ui::ViewController& screen, shell::Driver& driver) {
        settle(screen, AccountProtectViewController::kTagStatus, driver);
    };
    out.push_back(table);

    screenshots::ScreenShot editor;
    editor.name = "lock-editor";
    editor.screen = kAccountLockScreen;
    editor.prepare = [] {
        seed("{}");
        foundation::UserDefaults::standard().setInteger(StoreKeys::accountlock, (7 << 9) | (1 << 14));
    };
    editor.drive = [](ui::ViewController& screen, shell::Driver& driver) {
        settle(screen, KAVOACLockViewController::kTagLockTypes, driver);
        driver.drag(ringPoint(screen, 41), ringPoint(screen, 45), 8);  // hours 20 to 22, up the left side
        driver.advance(0.2);
    };
    out.push_back(editor);

    screenshots::ScreenShot types = editor;
    types.name = "lock-types";
    types.drive = [](ui::ViewController& screen, shell::Driver& driver) {
        settle(screen, KAVOACLockViewController::kTagLockTypes, driver);
        driver.tap(driver.findByText("开启账号锁定"));
        driver.advance(0.5);
    };
    out.push_back(types);

    screenshots::ScreenShot password;
    password.name = "change-password";
    password.screen = kChangePasswordScreen;
    password.prepare = [] { seed("{}"); };
    password.drive = [](ui::ViewController&, shell::Driver& driver) {
        driver.type("abc12345");
        driver.tap(driver.findByText("显示"));
        driver.advance(0.3);
    };
    out.push_back(password);

    screenshots::ScreenShot person;
    person.name = "person-centre";
    person.screen = kPersonCenterScreen;
    person.prepare = [] { seed(R"({"protects": ["10", "80", "19"]})"); };
    person.drive = [](ui::ViewController& screen, shell::Driver& driver) {
        settle(screen, PersonCenterViewController::kTagOverview, driver);
    };
    out.push_back(person);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    foundation::TimeZone::setLocal(foundation::TimeZone::fixed(8 * 3600));
    testserver::SecurityServer running;
    running.useAsDeploymentServer();
    server = &running;
    return screenshots::screenshotsMain(argc, argv, protectMap, entries());
}
