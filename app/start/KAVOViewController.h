#pragma once
// The launch router: the first screen, showing the launch image, which picks
// the way on from the key/value store and the payment binding state each
// time it appears.

#include <memory>
#include <string>

#include "platform/ui/AlertView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

class KAVOViewController : public ui::ViewController, public ui::AlertViewDelegate {
public:
    static constexpr int kDamagedStoreAlertTag = 100;
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

    // The segue the store and the binding state call for: "showMain",
    // "haspassword", "welcome" or "korvexBind"; empty for a damaged store,
    // which is deleted on the way (the caller shows the alert).
    static std::string launchSegue();

private:
    std::shared_ptr<ui::ImageView> welcomImage_;
    std::shared_ptr<ui::AlertView> damagedAlert_;
};
