// The code tab with its digits turning over and the nine-star tab with the
// emitter halfway along the star path.
#include <cstdlib>

#include "app/core/Constants.h"
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
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
}

}  // namespace screenshots
