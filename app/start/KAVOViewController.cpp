#include "app/start/KAVOViewController.h"

#include "app/core/Constants.h"
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

const char* const KAVOViewController::kLaunchImage = "Default";
const char* const KAVOViewController::kTallLaunchImage = "Default-568h@2x";

KAVOViewController::~KAVOViewController() {
    // The alert may outlive the router; it must not call back into it.
    if (damagedAlert_) damagedAlert_->setDelegate(nullptr);
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

std::string KAVOViewController::launchSegue() {
    if (DBController::databaseExit()) {
        // A table that cannot be read answers nothing, and counts as damaged
        // like a missing guide version.
        const auto passward = Constants::getValueFromDBByKey(StoreKeys::passward);
        const auto readIndex = Constants::getValueFromDBByKey(StoreKeys::read_index);
        if (!Constants::testResultIsValid(readIndex)) {
            DBController::deleteDataBase();
            return "";
        }
        if (*readIndex == "3.0.0") return passward == "null" ? "showMain" : "haspassword";
        return "welcome";
    }
    return foundation::UserDefaults::standard().integerForKey("korvxboundstate") == 2 ? "korvexBind" : "welcome";
}

void KAVOViewController::viewDidAppear(bool animated) {
    const std::string segue = launchSegue();
    if (segue.empty()) {
        if (damagedAlert_) damagedAlert_->setDelegate(nullptr);
        damagedAlert_ = Constants::normalAlertViewWithTitle(
            "数据库损坏", "数据库数据被损坏，请到禾川网安全中心重新绑定。", kDamagedStoreAlertTag, this);
    } else {
        performSegueWithIdentifier(segue);
    }
    ui::ViewController::viewDidAppear(animated);
}

void KAVOViewController::viewDidUnload() {
    welcomImage_.reset();
    ui::ViewController::viewDidUnload();
}
