#pragma once
// The start-PIN screen: asks for the four-digit PIN at every start. Under
// the anti-brute-force protection five wrong PINs in a row freeze the app for
// 30 minutes, measured on the server's clock (command 22, never the device
// clock): the first answer after the fifth wrong PIN fixes the end, later
// answers tell whether it has passed. Without the server's time the app
// tells the user to connect and ends.

#include <memory>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/pin/FourDotEntry.h"
#include "app/screens/pin/PinModel.h"

class StartPasswordViewController : public KAVOCommandViewController {
public:
    // Command 22, at appearance or after the fifth wrong PIN / by the open button.
    static constexpr int kTagDecide = 0;
    static constexpr int kTagOpen = 1;
    static constexpr int kEndAppAlertTag = 1;

    StartPasswordViewController();
    const char* className() const override { return "StartPasswordViewController"; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // The actions.
    void isOpenCheck();
    void forgetPwd();
    void showHelp();
    // The PIN check (after the entry's delay).
    void finishLoading();

    FourDotEntry* entry() const { return entry_.get(); }
    ui::TextField* passwordTxt() const { return entry_->field(); }
    ui::Label* txtLabel() const { return txtLabel_.get(); }
    ui::Label* showUpdate() const { return showUpdate_.get(); }
    ui::Button* openbtn() const { return openbtn_.get(); }
    const pin::softPwd& softpwd() const { return softpwd_; }

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void setInitData(bool showNotice);
    void decideReply(const CommandReply& reply);
    void openReply(const CommandReply& reply);
    void timeFailed();
    void unfreeze();
    void lockEntry(bool showOpenButton);

    pin::softPwd softpwd_;
    std::unique_ptr<FourDotEntry> entry_;
    std::shared_ptr<ui::Label> title_, txtLabel_, showUpdate_;
    std::shared_ptr<ui::Button> openbtn_, forgetBtn_;
};
