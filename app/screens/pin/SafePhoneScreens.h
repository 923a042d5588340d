#pragma once
// Remote de-registration: the safe phone and the de-registration password
// the server keeps (command 17). Three screens opened from the settings
// screen: open the service (operation 0), change it (2), cancel it (3). The
// store keeps only the masked phone in `safePhone` ("null" when off).

#include <memory>
#include <string>
#include <vector>

#include "app/cycle/KAVOCommandViewController.h"

class SafePhoneScreen : public KAVOCommandViewController {
public:
    static constexpr int kCommand = 17;
    static constexpr int kConfirmAlertTag = 1;
    static constexpr int kNoNetworkAlertTag = 2;
    static constexpr int kRefusedAlertTag = 3;
    static constexpr int kDoneAlertTag = 4;
    // The alert of a reply that is not the wrapper: no action (it must not
    // send the command again as the confirmation does).
    static constexpr int kBadReplyAlertTag = 5;

    // Whether the protections stay as they are after a remote de-registration.
    bool isSavaStory() const { return isSavaStory_; }

protected:
    SafePhoneScreen(std::string operation, std::string waitingText, std::string handshakeNotice);
    // The fields after the operation, as sent.
    virtual std::vector<std::string> operationFields() const = 0;
    // The reply was "true" / something else.
    virtual void accepted() = 0;
    virtual void refused() = 0;
    // The confirmation alert's "确定".
    virtual void confirmed() {}
    void send();
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;
    void buildCommon(const std::string& title, const std::string& pageWord);
    std::string keepText() const { return isSavaStory_ ? "保留" : "关闭"; }

    bool isSavaStory_ = true;
    std::string operation_;
};

class RemoteDeleteViewController : public SafePhoneScreen {
public:
    RemoteDeleteViewController();
    const char* className() const override { return "RemoteDeleteViewController"; }
    void viewDidLoad() override;

    void RemoteSubmit();
    void checkProtect();
    void helpRemote();

    ui::TextField* safePhoneField() const { return safePhone_.get(); }
    ui::TextField* deletePasswordField() const { return deletePassword_.get(); }
    ui::Button* protectBtn() const { return protectBtn_.get(); }

protected:
    std::vector<std::string> operationFields() const override;
    void accepted() override;
    void refused() override;
    void confirmed() override;

private:
    std::shared_ptr<ui::TextField> safePhone_, deletePassword_;
    std::shared_ptr<ui::Button> protectBtn_;
};

class modifySafePhoneViewController : public SafePhoneScreen {
public:
    modifySafePhoneViewController();
    const char* className() const override { return "modifySafePhoneViewController"; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void Modify_Action();
    void changeSaveProtect();

    ui::TextField* oldSafePhone() const { return fields_[0].get(); }
    ui::TextField* oldSafePwd() const { return fields_[1].get(); }
    ui::TextField* nwSafePhone() const { return fields_[2].get(); }
    ui::TextField* nwSafePwd() const { return fields_[3].get(); }
    ui::Button* saveStory() const { return saveStory_.get(); }

protected:
    std::vector<std::string> operationFields() const override;
    void accepted() override;
    void refused() override;
    void confirmed() override;

private:
    std::vector<std::shared_ptr<ui::TextField>> fields_;
    std::shared_ptr<ui::Button> saveStory_;
};

class deleteSafePwdViewController : public SafePhoneScreen {
public:
    deleteSafePwdViewController();
    const char* className() const override { return "deleteSafePwdViewController"; }
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void submit_btn();

    ui::TextField* oldSafePhone() const { return oldSafePhone_.get(); }
    ui::TextField* oldSafePwd() const { return oldSafePwd_.get(); }

protected:
    std::vector<std::string> operationFields() const override;
    void accepted() override;
    void refused() override;

private:
    std::shared_ptr<ui::TextField> oldSafePhone_, oldSafePwd_;
};
