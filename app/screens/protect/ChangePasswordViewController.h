#pragma once
// The password change: one field for the new password of the marketplace
// account, a show/hide switch and the confirm button. The server checks the
// password's rules (command 15) and the screen shows its verdict.
#include <memory>

#include "app/cycle/KAVOCommandViewController.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"

class ChangePasswordViewController : public KAVOCommandViewController, public ui::TextFieldDelegate {
public:
    static constexpr int kTagChangePassword = 15;
    static constexpr int kLeaveAlertTag = 1;

    ChangePasswordViewController();
    const char* className() const override { return "ChangePasswordViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void changePassWord();
    void dispalypassword();

    ui::TextField* passwordTxt() const { return passwordTxt_.get(); }
    ui::Button* displayPassword() const { return displayPassword_.get(); }
    ui::Label* wordLabel() const { return wordLabel_.get(); }
    bool display() const { return display_; }

    bool textFieldShouldReturn(ui::TextField* field) override;

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void handleReply(const CommandReply& reply);

    std::shared_ptr<ui::TextField> passwordTxt_;
    std::shared_ptr<ui::Button> displayPassword_;
    std::shared_ptr<ui::Label> wordLabel_;
    bool display_ = false;
};
