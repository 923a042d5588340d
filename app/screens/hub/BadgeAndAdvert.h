#pragma once
// Two small services of the main screen: the security log's unread count
// as a badge over its button (command 14 operation 2), and the server's
// advert (command 23), whose picture drops in as a notice while the main
// screen is on view. A version of the advert is offered once.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/cycle/KAVOCommandViewController.h"
#include "lib/kit/CustomBadge.h"

namespace hub {

class BadgeAndAdvert {
public:
    struct Tags {
        int badge = 0;
        int advert = 0;
        int advertPicture = 0;
    };
    // Sends a request the command cycle does not handle; its end comes back
    // to the screen, which hands the advert's picture to advertPicture().
    using SendUnattended = std::function<void(int tag, const http::HttpRequestRef& request)>;

    // `placed` runs after the badge has been put on the screen's view (the
    // lock overlay goes back in front).
    BadgeAndAdvert(KAVOCommandViewController& screen, Tags tags, SendUnattended send, std::function<void()> placed);

    void registerBadgeCommand();
    void registerAdvertCommand();

    void requestBadge();
    // Shows the count the app holds (SharedScreenState::safeAuditionBadgeCount).
    void updateBadge();
    void requestAdvert();
    // The advert's picture arrived: it is shown while the main screen is.
    void advertPicture(const std::vector<uint8_t>& data);

    CustomBadge* badge() const { return badge_.get(); }

private:
    KAVOCommandViewController& screen_;
    Tags tags_;
    SendUnattended send_;
    std::function<void()> placed_;
    std::shared_ptr<CustomBadge> badge_;
};

}  // namespace hub
