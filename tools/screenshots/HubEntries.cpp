// The main screen's pictures: a bound account with its code on the home
// page, and the same screen asking about a pending login.
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/hub/KAVOMainFrameViewController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "tools/screenshots/Entries.h"

namespace screenshots {

namespace {

// The rows of a bound account whose phone, name, start PIN and quick
// verification are set.
void seedAccount() {
    // Not the first start of this build (which would take the code off the home page).
    Constants::initPersonalUseCheckAndRateVar();
    DBController db;
    db.initDatabase();
    const std::pair<const char*, const char*> rows[] = {
        {StoreKeys::uuid, "6F9619FF-8B86-4011-B42D-00C04FC964FF"},
        {StoreKeys::bid, "3132333435363738393031323334353637383930"},
        {StoreKeys::diffTime, "0"},
        {StoreKeys::username, "小禾"},
        {StoreKeys::phoneNo, "138****5678"},
        {StoreKeys::imageUrl, "null"},
        {StoreKeys::otpFast, "1"},
        {StoreKeys::keyLogin, "1"},
        {StoreKeys::passward, "1234"},
        {StoreKeys::isPushInfo, "1"},
        {StoreKeys::safePhone, "null"},
        {StoreKeys::read_index, "3.0.0"},
        {StoreKeys::adversion, "0"},
    };
    for (const auto& [key, value] : rows) db.InsertTable(key, value);
    db.closeDatabase();
    auto& defaults = foundation::UserDefaults::standard();
    defaults.setInteger("korvxboundstate", 3);
    defaults.setString(StoreKeys::isPushInfo, "1");
    defaults.synchronize();
}

}  // namespace

void addHubScreenShots(std::vector<ScreenShot>& entries) {
    ScreenShot hubShot;
    hubShot.name = "hub";
    hubShot.screen = "KAVOMainFrameViewController";
    hubShot.prepare = seedAccount;
    hubShot.act = [](ui::ViewController&) {};
    entries.push_back(hubShot);

    ScreenShot approval = hubShot;
    approval.name = "hub-approval";
    approval.act = [](ui::ViewController& screen) {
        auto& hub = dynamic_cast<KAVOMainFrameViewController&>(screen);
        hub::PollReply reply;
        reply.success = true;
        const long long madeAt = (foundation::clock().nowSeconds() - 12) * 1000;
        reply.results.push_back({std::to_string(madeAt), "浙江杭州", "登录", "CK0001"});
        hub.showVerifyRequests(reply);
    };
    entries.push_back(approval);
}

}  // namespace screenshots
