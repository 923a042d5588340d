#pragma once
// The launch router: the first screen, showing the launch image, which picks
// the way on from the key/value store and the payment binding state each
// time it appears.

#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

class KAVOViewController : public ui::ViewController, public ui::AlertViewDelegate {
public:
    static constexpr int kDamagedStoreAlertTag = 100;
    static constexpr int kBusyStoreAlertTag = 101;
    // A store another program holds locked is looked at again this often
    // (the window stays alive meanwhile) ...
    static constexpr double kBusyRecheckSeconds = 0.5;
    // ... and after this long the user is told that it is in use.
    static constexpr double kBusyPatienceSeconds = 10;
    static const char* const kBusyStoreTitle;
    static const char* const kBusyStoreMessage;
    static const char* const kBusyStoreRetry;
    // The launch images of the bundle.
    static const char* const kLaunchImage;
    static const char* const kTallLaunchImage;

    KAVOViewController() = default;
    ~KAVOViewController() override;
    const char* className() const override { return "KAVOViewController"; }

    ui::ImageView* welcomImage() const { return welcomImage_.get(); }

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewDidUnload() override;

    // The way on that the store and the binding state call for.
    struct Route {
        enum Kind {
            Segue,    // segue: "showMain", "haspassword", "welcome" or "korvexBind"
            Damaged,  // the store was damaged and has been moved aside
            Busy,     // another program holds the store locked: nothing was changed
        };
        Kind kind = Segue;
        std::string segue;
    };
    static Route launchRoute();

    void clickedButtonAtIndex(ui::AlertView* alertView, int buttonIndex) override;

private:
    // Takes the way on, or waits for a busy store without holding the main
    // thread.
    void route();
    void showAlert(std::shared_ptr<ui::AlertView> alert);
    void stopWaiting();

    std::shared_ptr<ui::ImageView> welcomImage_;
    std::shared_ptr<ui::AlertView> alert_;
    foundation::TimerRef busyTimer_;
    double busySince_ = -1;
};
