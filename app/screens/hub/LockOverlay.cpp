#include "app/screens/hub/LockOverlay.h"

#include <optional>

#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "app/screens/hub/HubModel.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace hub {

namespace {

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

}  // namespace

LockOverlay::~LockOverlay() {
    if (timer_) timer_->invalidate();
}

void LockOverlay::build(ui::View& root) {
    // The whole screen, the tall one included.
    dimLayer_ = std::make_shared<ui::View>(ui::Rect{0, 0, 320, ui::Screen::main().bounds().height()});
    dimLayer_->setBackgroundColor(ui::Color::white(0, 0.72));
    // The lock only dims the screen: the buttons under it still work (the
    // protections screen, where the lock is lifted, among them).
    dimLayer_->setUserInteractionEnabled(false);
    dimLayer_->setHidden(true);
    root.addSubview(dimLayer_);
    lockImg_ = std::make_shared<ui::ImageView>(ui::Rect{128, 160, 64, 64});
    lockImg_->setImage(ui::Image::named("lock_overlay"));
    lockImg_->setHidden(true);
    root.addSubview(lockImg_);
    lockLabel_ = std::make_shared<ui::Label>(ui::Rect{20, 236, 280, 48});
    lockLabel_->setFont(ui::Font::systemFont(16));
    lockLabel_->setTextColor(ui::Color::whiteColor());
    lockLabel_->setBackgroundColor(ui::Color::clearColor());
    lockLabel_->setNumberOfLines(2);
    lockLabel_->setTextAlignment(ui::TextAlignment::Center);
    lockLabel_->setText("账户在当前时段已锁定\n锁定期间无法登录和交易");
    lockLabel_->setHidden(true);
    root.addSubview(lockLabel_);
}

void LockOverlay::check() {
    const double now = foundation::clock().now();
    const bool locked = isLocked(defaults().integerForKey(StoreKeys::accountlock), int64_t(now),
                                 foundation::TimeZone::local().offsetAt(now));
    dimLayer_->setHidden(!locked);
    lockLabel_->setHidden(!locked);
    lockImg_->setHidden(!locked);
}

void LockOverlay::scheduleRecheck() {
    if (recheckDue_) return;
    recheckDue_ = true;
    // A look forgotten (forgetRecheck) would come at the same moment.
    if (timer_) timer_->invalidate();
    timer_ = foundation::RunLoop::main().performAfter(lockRecheckDelay(foundation::clock().nowSeconds()),
                                                      [this] { recheck(); });
}

void LockOverlay::recheck() {
    recheckDue_ = false;
    check();
}

bool LockOverlay::alignWithServer(long long duration, long long enabletime) {
    const long long stored = defaults().integerForKey(StoreKeys::accountlock);
    const long long serverLocal = Constants::gmt8ValueToLocalValue(duration);
    std::optional<int64_t> allDay;
    if (auto date = defaults().dateForKey(StoreKeys::alldayaclocktime)) allDay = int64_t(date->seconds);
    const LockAlignment change = alignLock(stored, serverLocal, enabletime / 1000, allDay);
    if (stored == kAllDayMask && change.allDaySince)
        defaults().setObject(StoreKeys::alldayaclocktime,
                             foundation::Value(foundation::Date{double(*change.allDaySince)}));
    switch (change.change) {
        case LockAlignment::Unchanged:
            defaults().synchronize();
            return false;
        case LockAlignment::Cleared:
            defaults().setInteger(StoreKeys::accountlock, 0);
            defaults().removeObjectForKey(StoreKeys::alldayaclocktime);
            break;
        case LockAlignment::Stored:
            defaults().setInteger(StoreKeys::accountlock, change.mask);
            defaults().setObject(StoreKeys::alldayaclocktime,
                                 foundation::Value(foundation::Date{double(*change.allDaySince)}));
            break;
        case LockAlignment::Conflict:
            break;
    }
    defaults().synchronize();
    check();
    return true;
}

void LockOverlay::bringToFront(ui::View& root) {
    for (ui::View* v : std::initializer_list<ui::View*>{dimLayer_.get(), lockImg_.get(), lockLabel_.get()})
        root.bringSubviewToFront(v);
}

}  // namespace hub
