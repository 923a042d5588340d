#pragma once
// The lock-period editor: the 24 hours as a ring of bars the finger paints
// on and off, a whole-day box, and the confirm button that asks for the lock
// types and stores the hours ("accountlock") and the sum of the chosen type
// ids ("shouldopenaclock") for the protections screen to send.
#include <functional>
#include <memory>
#include <vector>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/protect/LockRing.h"
#include "app/screens/protect/LockTypes.h"
#include "lib/kit/MsTableAlert.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"

class KAVOACLockViewController : public KAVOCommandViewController,
                                 public MsTableAlertDelegate,
                                 public MsTableAlertDataSource {
public:
    static constexpr int kTagLockTypes = 10;
    static constexpr int kLockTypeAlertTag = 6456;

    KAVOACLockViewController();
    const char* className() const override { return "KAVOACLockViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

    // The actions of the box, the confirm button and the help button.
    void checkBoxForWholeDayPushed();
    void submitAccountLock();
    void wenTishiButtonPush();

    const LockRing& ring() const { return ring_; }
    ui::ImageView* placeView(int index) const { return places_.at(index).get(); }
    ui::Button* checkBoxForWholeDay() const { return checkBox_.get(); }
    ui::Button* accountLockButton() const { return confirm_.get(); }
    const std::vector<LockType>& lockKinds() const { return lockKinds_; }
    const std::vector<bool>& lockChoices() const { return choices_; }
    MsTableAlert* lockTypeAlert() const { return typeAlert_.get(); }
    // How many clicks were played.
    int clicks() const { return clicks_; }

    // Table alert.
    int tableAlertNumberOfRowsInSection(MsTableAlert*, int) override;
    std::shared_ptr<ui::TableViewCell> tableAlertCellForRowAtIndexPath(MsTableAlert*, const ui::IndexPath& ip) override;
    void tableAlertDidSelectRowAtIndexPath(MsTableAlert* alert, const ui::IndexPath& ip) override;
    void tableAlertDidDismissWithButtonIndex(MsTableAlert* alert, int buttonIndex) override;

private:
    void refreshImage();
    void playClick();
    void setLockKinds(std::vector<LockType> kinds);
    ui::Point touchPoint(const ui::Event& event, const ui::TouchSet& touches) const;

    LockRing ring_;
    std::vector<std::shared_ptr<ui::ImageView>> places_;
    std::shared_ptr<ui::Button> checkBox_, confirm_;
    std::vector<LockType> lockKinds_;
    std::vector<bool> choices_;
    std::shared_ptr<MsTableAlert> typeAlert_;
    int clicks_ = 0;
};
