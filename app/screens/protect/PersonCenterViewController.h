#pragma once
// The person centre: the bound account's name and photo, phone, security
// score with its bar, dangerous logins, protections in use, the last login,
// the daily check-in and the logos of the security products in use. It
// reloads the overview each time it comes into view (command 14 op 0),
// checks in with command 27, and dims itself during the hours the account
// is locked.
#include <memory>
#include <vector>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/protect/PersonCenterModel.h"
#include "lib/kit/MarqueeLabel.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

class PersonCenterViewController : public KAVOCommandViewController {
public:
    static constexpr int kTagOverview = 14;
    static constexpr int kTagCheckIn = 27;
    static constexpr int kTagPhoto = 1;
    static constexpr int kLeaveAlertTag = 100;
    static constexpr const char* kPhotoKey = "quentaCenter_photo";
    // A photo larger than this is not taken.
    static constexpr size_t kPhotoSizeCap = 2 * 1024 * 1024;

    PersonCenterViewController();
    ~PersonCenterViewController() override;
    const char* className() const override { return "PersonCenterViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void checkIn();
    void personCenterhelp();
    // Shows or hides the lock views for the current hour.
    void selectorForCheckLockState();

    const PersonCenterInfo& personInfo() const { return info_; }
    ui::Label* nameLabel() const { return name_.get(); }
    ui::Label* phoneLabel() const { return phoneNo_.get(); }
    ui::Label* scoreLabel() const { return safeScoreNo_.get(); }
    ui::ImageView* progressImg() const { return progressImg_.get(); }
    ui::Label* dangerousLabel() const { return dangouslogin_.get(); }
    ui::Label* openProtectLabel() const { return openProtect_.get(); }
    ui::Label* lastTimeLabel() const { return lastTime_.get(); }
    MarqueeLabel* locationLabel() const { return locationLabel_.get(); }
    ui::Label* pointsLabel() const { return safeScore_.get(); }
    ui::Button* scoreBtn() const { return scoreBtn_.get(); }
    ui::ScrollView* imageScrollView() const { return imageScrollView_.get(); }
    ui::ImageView* photo() const { return photo_.get(); }
    ui::View* dimLayer() const { return dimLayer_.get(); }
    bool isATimerOn() const { return timer_ != nullptr; }
    // Whether a photo address may be fetched (http or https only).
    static bool photoAddressAllowed(const std::string& url);

protected:
    void requestFinishedForOtherTag(http::HttpRequest& request) override;
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void handleOverview(const CommandReply& reply);
    void handleCheckIn(const CommandReply& reply);
    void presentSafeProtectionLogo();
    void showPhoto();
    void downloadimg(const std::string& url);
    void stopTimer();

    PersonCenterInfo info_;
    std::shared_ptr<ui::ImageView> photo_, progressImg_, lockImage_;
    std::shared_ptr<ui::Label> name_, phoneNo_, safeScoreNo_, dangouslogin_, openProtect_, lastTime_, safeScore_,
        lockLabel_;
    std::shared_ptr<MarqueeLabel> locationLabel_;
    std::shared_ptr<ui::Button> scoreBtn_;
    std::shared_ptr<ui::ScrollView> imageScrollView_;
    std::vector<std::shared_ptr<ui::View>> logos_;
    std::shared_ptr<ui::View> dimLayer_;
    foundation::TimerRef timer_;
    std::shared_ptr<http::HttpRequest> photoRequest_;
};
