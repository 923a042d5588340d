#pragma once
// The main screen's lock overlay: in the hours the account is locked (the
// local hour mask in the user defaults) a dimming layer, the lock picture
// and its caption lie over the screen; it is looked at again a minute past
// the next full hour, and the stored mask follows the server's.

#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace hub {

class LockOverlay {
public:
    LockOverlay() = default;
    ~LockOverlay();
    LockOverlay(const LockOverlay&) = delete;
    LockOverlay& operator=(const LockOverlay&) = delete;

    // Adds the overlay's views to the screen's root, hidden.
    void build(ui::View& root);
    // Shows or hides the overlay for the hour now (selectorForCheckLockState).
    void check();
    // Looks again a minute past the next full hour, unless a look is due.
    void scheduleRecheck();
    // The scheduled look (timerSelectorForLockState).
    void recheck();
    // Forgets a scheduled look (a screen that loads its view again).
    void forgetRecheck() { recheckDue_ = false; }
    // Makes the stored mask follow the server's (its mask in GMT+8 hours and
    // the time it was turned on, in milliseconds). True when the stored lock
    // changed and the overlay was looked at again: the screen shows its
    // code and icons afresh.
    bool alignWithServer(long long duration, long long enabletime);
    // Puts the overlay in front of what the screen added since.
    void bringToFront(ui::View& root);

    ui::View* dimLayer() const { return dimLayer_.get(); }

private:
    std::shared_ptr<ui::View> dimLayer_;
    std::shared_ptr<ui::ImageView> lockImg_;
    std::shared_ptr<ui::Label> lockLabel_;
    foundation::TimerRef timer_;
    bool recheckDue_ = false;
};

}  // namespace hub
