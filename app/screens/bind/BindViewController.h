#pragma once
// The bind screen: ties the phone to one account by the six-character serial
// (command 16), by SMS (command 31: the phone of the account, the binding
// text, the poll until it has arrived, the binding) or through the payment
// service's client app (command 32, the hand-off, the hand-back, command 34).
// Every road ends in the same bind-result handling: the store is written,
// the binding state settled, and the success alert leads on ("bindSuccess").

#include <memory>
#include <optional>
#include <string>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/bind/BindModel.h"
#include "lib/kit/ExampleModalPanel.h"
#include "lib/reader/ScanReaderDelegate.h"
#include "lib/reader/ScanReaderViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/MessageCompose.h"
#include "platform/ui/TextField.h"

class BindViewController : public KAVOCommandViewController,
                           public ui::TextFieldDelegate,
                           public ui::MessageComposeViewControllerDelegate,
                           public ScanReaderDelegate {
public:
    // Request tags.
    static constexpr int kTagSerial = 128;
    static constexpr int kTagPhoneLookup = 256;
    static constexpr int kTagTextMsgBind = 257;
    static constexpr int kTagKorvexAccount = 1367;
    static constexpr int kTagKorvexBind = 98785;
    // Alert tags.
    static constexpr int kAlertSmsName = 66;
    static constexpr int kAlertKorvexName = 84251;
    static constexpr int kAlertSuccess = 100;
    static constexpr int kAlertSmsConfirm = 1025;
    static constexpr int kAlertHandOff = 18645;
    static constexpr int kAlertInstall = 46481;

    static constexpr const char* kSegueBindSuccess = "bindSuccess";

    BindViewController();
    ~BindViewController() override;
    const char* className() const override { return "BindViewController"; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override {
        return o == ui::InterfaceOrientation::Portrait;
    }

    // The serial road.
    void numOfTextField();
    void initFinish(const std::string& serial);
    // Resigns the field and shows the prompt again (done key, background
    // touch, the help panel, the other roads).
    void backBroad();
    // The other roads and the help panel (the screen's buttons).
    void textMsgBinding();
    void korvexBinding();
    void bindHelp();
    // The QR road: the camera reader with this screen's bar over it; a
    // scanned serial binds at once.
    void qrBind();
    void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ViewController& reader,
                                                            const ScanPickerInfo& info) override;
    bool respondsToImagePickerControllerDidCancel() const override { return true; }
    void imagePickerControllerDidCancel(ui::ViewController& reader) override;

    // Text field delegate.
    void textFieldDidBeginEditing(ui::TextField* field) override;
    void textFieldDidEndEditing(ui::TextField* field) override;
    bool textFieldShouldChangeCharacters(ui::TextField* field, ui::TextRange range,
                                         const std::string& replacement) override;
    bool textFieldShouldReturn(ui::TextField* field) override;

    // Alerts: the name inputs and the confirmations act when dismissed.
    void didDismissWithButtonIndex(ui::AlertView* alertView, int buttonIndex) override;
    // The composer's outcome.
    void messageComposeDidFinish(ui::MessageComposeViewController* composer, ui::MessageComposeResult result) override;
    void hudWasHidden(ProgressHUD* hud) override;

    // For tests and pictures.
    ui::TextField* serialField() const { return serialTxt_.get(); }
    ui::Label* kavoLabel() const { return kavoLabel_.get(); }
    ExampleModalPanel* helpPanel() const { return helpPanel_.get(); }
    ProgressHUD* pollHud() const { return pollHud_.get(); }
    ui::MessageComposeViewController* composer() const { return composer_.get(); }
    ScanReaderViewController* qrReader() const { return qrReader_.get(); }
    const std::string& sid() const { return sid_; }
    const std::string& userName() const { return userName_; }

protected:
    bool endsAppOnRemoteLogOutAlert() const override { return false; }

private:
    void registerCommands();
    // The shared handling of commands 16, 31 op 2 and 34.
    void handleBindReply(const CommandReply& reply, BindModel::Road road);
    void bindFailed(BindModel::Road road, const std::string& notice, const std::optional<std::string>& label);
    void notice(const std::string& text);
    void moveView(bool up);
    Answer takeAnswer();

    // SMS road.
    void startPoll();
    void pollAttempt(int attempt);
    void pollAnswered(int attempt, const BindModel::PollStep& step);
    void cleanUpPull(const std::optional<std::string>& outcome);
    void endPollOverlay();
    // Payment road.
    void handBackCheck();

    std::shared_ptr<ui::TextField> serialTxt_;
    std::shared_ptr<ui::Label> kavoLabel_;
    std::shared_ptr<ExampleModalPanel> helpPanel_;
    std::shared_ptr<ProgressHUD> pollHud_;
    std::shared_ptr<ui::MessageComposeViewController> composer_;
    std::shared_ptr<ScanReaderViewController> qrReader_;
    foundation::TimerRef pollTimer_;
    bool viewMovedUp_ = false;

    DkBase dkbase_;
    std::mutex answerMutex_;
    Answer answer_;  // the last handshake's, or the SMS road's own
    std::string sid_, userName_, korvexCount_, kvToken_;
};
