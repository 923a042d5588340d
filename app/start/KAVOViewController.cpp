#include "app/start/KAVOViewController.h"

#include "app/core/BindingState.h"
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/cycle/Constants.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

const char* const KAVOViewController::kLaunchImage = "Default";
const char* const KAVOViewController::kTallLaunchImage = "Default-568h@2x";

const char* const KAVOViewController::kBusyStoreTitle = "数据库正在使用";
const char* const KAVOViewController::kBusyStoreMessage = "禾盾的数据正被其他程序占用，请关闭该程序后点“重试”。";
const char* const KAVOViewController::kBusyStoreRetry = "重试";

KAVOViewController::~KAVOViewController() {
    stopWaiting();
    // The alert may outlive the router; it must not call back into it.
    if (alert_) alert_->setDelegate(nullptr);
}

void KAVOViewController::loadView() {
    const ui::Rect bounds = ui::Screen::main().bounds();
    auto root = ui::View::create(bounds);
    welcomImage_ = std::make_shared<ui::ImageView>(bounds);
    welcomImage_->setContentMode(ui::ContentMode::ScaleToFill);
    welcomImage_->setImage(ui::Image::named(kLaunchImage));
    root->addSubview(welcomImage_);
    setView(root);
}

void KAVOViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (welcomImage_ && Constants::isTallScreen()) {
        welcomImage_->setImage(ui::Image::named(kTallLaunchImage));
        welcomImage_->setFrame(ui::Screen::main().bounds());
    }
}

KAVOViewController::Route KAVOViewController::launchRoute() {
    const StoreReading store = DBController::readStore();
    switch (store.kind) {
        case StoreReading::Busy:
            // Locked is not damaged: the store is left alone.
            return {Route::Busy, ""};
        case StoreReading::Damaged:
            DBController::moveDamagedAside();
            return {Route::Damaged, ""};
        case StoreReading::Readable: {
            auto value = [&](const char* key) -> std::optional<std::string> {
                auto it = store.rows.find(key);
                return it == store.rows.end() ? std::string("(null)") : it->second;
            };
            const auto readIndex = value(StoreKeys::read_index);
            // A store without a usable guide version (such as one a binding
            // left half-written) is damaged too; it is kept aside as well.
            if (!Constants::testResultIsValid(readIndex)) {
                DBController::moveDamagedAside();
                return {Route::Damaged, ""};
            }
            if (*readIndex == "3.0.0")
                return {Route::Segue, value(StoreKeys::passward) == "null" ? "showMain" : "haspassword"};
            return {Route::Segue, "welcome"};
        }
        case StoreReading::Missing:
            break;
    }
    return {Route::Segue, binding::stored() == binding::BindingState::BindingHandedOff ? "korvexBind" : "welcome"};
}

void KAVOViewController::showAlert(std::shared_ptr<ui::AlertView> alert) {
    if (alert_) alert_->setDelegate(nullptr);
    alert_ = std::move(alert);
}

void KAVOViewController::stopWaiting() {
    if (busyTimer_) busyTimer_->invalidate();
    busyTimer_.reset();
    busySince_ = -1;
}

void KAVOViewController::route() {
    const Route way = launchRoute();
    if (way.kind == Route::Busy) {
        const double now = foundation::clock().now();
        if (busySince_ < 0) busySince_ = now;
        if (now - busySince_ >= kBusyPatienceSeconds) {
            // Told once; the user's "重试" starts the waiting again.
            stopWaiting();
            auto alert = ui::AlertView::create(kBusyStoreTitle, kBusyStoreMessage, this, kBusyStoreRetry);
            alert->setTag(kBusyStoreAlertTag);
            alert->show();
            showAlert(std::move(alert));
            return;
        }
        if (!busyTimer_) {
            std::weak_ptr<KAVOViewController> weak = std::static_pointer_cast<KAVOViewController>(shared_from_this());
            busyTimer_ = foundation::RunLoop::main().addTimer(kBusyRecheckSeconds, true, [weak](foundation::Timer&) {
                if (auto self = weak.lock()) self->route();
            });
        }
        return;
    }
    stopWaiting();
    if (way.kind == Route::Damaged) {
        showAlert(Constants::normalAlertViewWithTitle("数据库损坏", "数据库数据被损坏，请到禾川网安全中心重新绑定。",
                                                      kDamagedStoreAlertTag, this));
        return;
    }
    performSegueWithIdentifier(way.segue);
}

void KAVOViewController::viewDidAppear(bool animated) {
    stopWaiting();
    route();
    ui::ViewController::viewDidAppear(animated);
}

void KAVOViewController::clickedButtonAtIndex(ui::AlertView* alertView, int) {
    // After a damaged store (now kept aside) the way leads on to binding
    // again; after a busy one the store is looked at again.
    if (alertView->tag() == kDamagedStoreAlertTag || alertView->tag() == kBusyStoreAlertTag) route();
}

void KAVOViewController::viewDidUnload() {
    welcomImage_.reset();
    ui::ViewController::viewDidUnload();
}
