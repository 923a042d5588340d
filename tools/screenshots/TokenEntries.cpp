// The code tab with its digits turning over, the nine-star tab with the
// emitter halfway along the star path, and the product container on its
// code tab and on its one-key-verify tab with two requests waiting.
#include <chrono>
#include <cstdlib>

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/token/KAVOOneKeyVerifyViewController.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "tools/screenshots/Entries.h"

namespace screenshots {

namespace {

void seedToken() {
    Constants::initPersonalUseCheckAndRateVar();
    DBController db;
    db.initDatabase();
    const std::pair<const char*, const char*> rows[] = {
        {StoreKeys::uuid, "6F9619FF-8B86-4011-B42D-00C04FC964FF"},
        {StoreKeys::bid, "3132333435363738393031323334353637383930"},
        {StoreKeys::diffTime, "0"},
        {StoreKeys::otpFast, "1"},
        {StoreKeys::jiuxing, "0"},
        {StoreKeys::read_index, "3.0.0"},
    };
    for (const auto& [key, value] : rows) db.InsertTable(key, value);
    db.closeDatabase();
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setInteger("korvxboundstate", 3);
    defaults.synchronize();
    srandom(5);  // the same turning digits every time
    // Half a second into a second, 20 seconds into the code's window.
    if (auto* manual = dynamic_cast<foundation::ManualClock*>(&foundation::clock())) manual->setWallTime(1700000000.5);
}

}  // namespace

void addTokenScreenShots(std::vector<ScreenShot>& entries) {
    ScreenShot otp;
    otp.name = "otp";
    otp.screen = "OTP";
    otp.prepare = seedToken;
    // 20 seconds into the window: ten seconds on, a new code turns in.
    otp.drive = [](ui::ViewController&, shell::Driver& driver) { driver.advance(10.0 + 0.2); };
    entries.push_back(otp);

    ScreenShot stars;
    stars.name = "jiuxing";
    stars.screen = "JIUXING";
    stars.prepare = seedToken;
    stars.drive = [](ui::ViewController&, shell::Driver& driver) { driver.advance(0.6); };
    entries.push_back(stars);

    ScreenShot product;
    product.name = "product";
    product.screen = KAVOSafeProductViewController::kScreenIdentifier;
    product.prepare = [] {
        seedToken();
        auto& defaults = foundation::UserDefaults::standard();
        defaults.setInteger("nokorvexnotify", 10);  // its once-only notice was read
        defaults.synchronize();
    };
    product.drive = [](ui::ViewController& screen, shell::Driver& driver) {
        dynamic_cast<KAVOSafeProductViewController&>(screen).OTPButtonPressed();
        driver.advance(10.0 + 0.2);
    };
    entries.push_back(product);

    ScreenShot okv;
    okv.name = "okv";
    okv.screen = KAVOSafeProductViewController::kScreenIdentifier;
    okv.prepare = [] {
        seedToken();
        auto& defaults = foundation::UserDefaults::standard();
        defaults.setInteger("korvxboundstate", 10);
        defaults.synchronize();
    };
    okv.drive = [](ui::ViewController& screen, shell::Driver& driver) {
        auto& container = dynamic_cast<KAVOSafeProductViewController&>(screen);
        container.OKVButtonPressed();
        auto* tab = dynamic_cast<KAVOOneKeyVerifyViewController*>(container.OKVViewController());
        if (!tab) return;
        // No server answers here: the first poll fails (its one notice is
        // taken away) and the rows are put in as a reply would.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (tab->firstNetFail() && std::chrono::steady_clock::now() < end) driver.settle();
        DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
        PollReply reply;
        reply.success = true;
        const long long now = foundation::clock().nowSeconds();
        reply.results.push_back({std::to_string((now - 8) * 1000), "浙江杭州", "登录", "CK0001"});
        reply.results.push_back({std::to_string((now - 3) * 1000), "广东深圳", "修改密码", "CK0002"});
        tab->showRequests(reply);
        driver.advance(0.5);
    };
    entries.push_back(okv);
}

}  // namespace screenshots
