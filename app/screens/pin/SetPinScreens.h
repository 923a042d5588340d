#pragma once
// Setting, changing and deleting the start PIN (opened from the settings
// screen). Each uses the four-dot entry; nothing here talks to the server.
// Only the final step of each writes the store: the set screen `passward`
// and `safe_password`, the others `passward` alone.

#include <memory>
#include <string>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/pin/FourDotEntry.h"

// The base of the three: the entry, the prompt line and the success alert
// (tag 100) that pops the screen.
class PinStepScreen : public ui::ViewController, public ui::AlertViewDelegate {
public:
    static constexpr int kDoneAlertTag = 100;

    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void clickedButtonAtIndex(ui::AlertView* alertView, int buttonIndex) override;

    FourDotEntry* entry() const { return entry_.get(); }
    ui::Label* prompt() const { return prompt_.get(); }

    virtual void finishLoading() = 0;

protected:
    // Builds the view: title, back button, prompt, entry; reports the page.
    void buildCommon(const std::string& title, const std::string& firstPrompt, const std::string& pageWord);

    std::unique_ptr<FourDotEntry> entry_;
    std::shared_ptr<ui::Label> prompt_;
};

class SoftPasswordViewController : public PinStepScreen {
public:
    const char* className() const override { return "SoftPasswordViewController"; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void finishLoading() override;
    // The protection switch.
    void safePassword();
    void helpBtn();

    bool isSafePassword() const { return isSafePassword_; }
    ui::Button* safePasswordBtn() const { return safePasswordBtn_.get(); }

private:
    bool isSafePassword_ = true;
    std::string firstPwd_ = "null";
    std::shared_ptr<ui::Button> safePasswordBtn_;
};

class ModifySoftPwdViewController : public PinStepScreen {
public:
    const char* className() const override { return "ModifySoftPwdViewController"; }
    void viewDidLoad() override;
    void finishLoading() override;

private:
    std::string firstPwd_ = "null", secondPwd_ = "null", thirdPwd_ = "null";
};

class DeleteSoftPwdViewController : public PinStepScreen {
public:
    const char* className() const override { return "DeleteSoftPwdViewController"; }
    void viewDidLoad() override;
    void finishLoading() override;
};
