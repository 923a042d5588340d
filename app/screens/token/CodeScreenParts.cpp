#include "app/screens/token/CodeScreenParts.h"

#include "app/core/DBController.h"
#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/token/TokenModel.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Clock.h"
#include "platform/ui/Image.h"

namespace token {

StoredToken loadStoredToken() {
    StoredToken t;
    std::map<std::string, std::string> rows;
    if (auto db = DBController::openExisting()) {
        if (auto all = db->querryTable()) rows = std::move(*all);
        db->closeDatabase();
    }
    auto get = [&](const char* key) {
        auto it = rows.find(key);
        return it == rows.end() ? std::string("(null)") : it->second;
    };
    t.bid = get(StoreKeys::bid);
    t.difftime = get(StoreKeys::diffTime);
    t.sid = get(StoreKeys::uuid);
    t.otpFast = get(StoreKeys::otpFast);
    t.jiuxing = get(StoreKeys::jiuxing);
    return t;
}

ui::View* noticeHost(ui::ViewController& screen, const ProductTab& tab) {
    if (tab.parent()) return tab.parent()->view();
    if (screen.parentViewController()) return screen.parentViewController()->view();
    return screen.view();
}

void showNotice(ui::ViewController& screen, const ProductTab& tab, const std::string& message) {
    DnNotificationManager::notificationWithMessageForAlert(message, ui::Image::named(kNoticeImageName),
                                                           noticeHost(screen, tab));
}

void registerCalibration(KAVOCommandViewController& screen, const ProductTab& tab, int tag,
                         std::function<void(const std::string& difference)> stored) {
    ScreenCommand time;
    time.tag = tag;
    time.waitingText = kCalibratingText;
    time.waitSlice = 9;
    time.handshake = false;  // the stored uuid only
    time.plainTextReply = true;
    time.timeOutSeconds = 9;
    time.invalidReply = FailureReport::notice();  // in the screen's own view
    time.assembleURL = [](const Answer& answer, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(20, {answer.uuid.value_or("(null)")}).text());
    };
    KAVOCommandViewController* self = &screen;
    const ProductTab* host = &tab;
    time.onFailure = [self, host](http::HttpRequest&) { showNotice(*self, *host, kNetworkUnstableMessage); };
    time.onReply = [self, host, stored](const CommandReply& reply) {
        // Only a whole number of seconds is a server time: an empty reply, a
        // negative one, text or a JSON error keeps the stored difference.
        std::optional<int64_t> server = serverSeconds(reply.text);
        if (!server) {
            showNotice(*self, *host, kNetworkUnstableMessage);
            return;
        }
        const long long difference = calibratedDifference(*server, foundation::clock().nowSeconds());
        const std::string text = std::to_string(difference);
        if (!Constants::upDateDBSetValue(text, StoreKeys::diffTime)) {
            // The server answered; the device could not keep it.
            showNotice(*self, *host, kDataNotSavedMessage);
            return;
        }
        if (stored) stored(text);
        showNotice(*self, *host, kCalibratedText);
    };
    screen.registerCommand(std::move(time));
}

}  // namespace token
