#include "app/screens/hub/BadgeAndAdvert.h"

#include "app/core/Envelope.h"
#include "app/core/SharedScreenState.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/hub/HubModel.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Dispatch.h"
#include "platform/ui/Image.h"

namespace hub {

BadgeAndAdvert::BadgeAndAdvert(KAVOCommandViewController& screen, Tags tags, SendUnattended send,
                               std::function<void()> placed)
    : screen_(screen), tags_(tags), send_(std::move(send)), placed_(std::move(placed)) {}

void BadgeAndAdvert::registerBadgeCommand() {
    // Command 14 operation 2: the security log's unread count.
    ScreenCommand badge = ScreenCommand::unattended(tags_.badge);
    badge.emptyContentIsInvalid = true;
    badge.testsRemoteLogOut = false;
    badge.onFailure = [this](http::HttpRequest&) { updateBadge(); };
    badge.assembleURL = [](const Answer& answer, const foundation::Value&) {
        return requestAddressForPayload(TextPayload(14, {answer.uuid.value_or("(null)"), "2"}).text());
    };
    badge.onReply = [this](const CommandReply& reply) {
        if (auto count = reply.as<BadgeReply>()) {
            SharedScreenState::safeAuditionBadgeCount() = int(count->count);
            updateBadge();
        }
    };
    screen_.registerCommand(std::move(badge));
}

void BadgeAndAdvert::registerAdvertCommand() {
    // Command 23: the advert on offer.
    ScreenCommand advert = ScreenCommand::unattended(tags_.advert);
    advert.emptyContentIsInvalid = true;
    advert.testsRemoteLogOut = false;
    advert.assembleURL = [](const Answer&, const foundation::Value&) {
        return requestAddressForPayload(
            TextPayload(23, {Constants::getValueFromDBByKey(StoreKeys::adversion).value_or("(null)")}).text());
    };
    advert.onReply = [this](const CommandReply& reply) {
        auto offer = reply.as<AdvertReply>();
        if (!offer || !offer->success) return;
        // The version is kept before the picture arrives: a missed advert is
        // not offered again until the server's version changes.
        Constants::upDateDBSetValue(*offer->version, StoreKeys::adversion);
        auto request = http::HttpRequest::requestWithURL(*offer->url);
        request->setTag(tags_.advertPicture);
        request->setTimeOutSeconds(15);
        send_(tags_.advertPicture, request);
    };
    screen_.registerCommand(std::move(advert));
}

void BadgeAndAdvert::requestBadge() { screen_.threadFunc(tags_.badge, {}); }

void BadgeAndAdvert::updateBadge() {
    if (badge_) badge_->removeFromSuperview();
    badge_ = CustomBadge::customBadgeWithString("", ui::Color::whiteColor(), ui::Color::redColor(), true,
                                                ui::Color::whiteColor(), 1.0, true);
    const int count = SharedScreenState::safeAuditionBadgeCount();
    badge_->autoBadgeSizeWithString(std::to_string(count));
    // Over the security log's button, which the tall screen moves down with
    // the rest of the hub (the badge comes after that move).
    badge_->setCenter({290, 160.0 + (Constants::isTallScreen() ? hub::kTallShift : 0)});
    badge_->setHidden(count == 0);
    screen_.view()->addSubview(badge_);
    if (placed_) placed_();
}

void BadgeAndAdvert::requestAdvert() { screen_.threadFunc(tags_.advert, {}); }

void BadgeAndAdvert::advertPicture(const std::vector<uint8_t>& data) {
    if (data.empty()) return;
    if (!foundation::compareAndSwap(SharedScreenState::MAIN_FRAME_VISIBLE(), 1, 1)) return;
    auto picture = ui::Image::fromData(data);
    if (!picture) return;
    DnNotificationManager::notificationWithMessageForAD(std::nullopt, picture);
}

}  // namespace hub
