#pragma once
// The bind screen: ties the phone to one account by the six-character serial
// (command 16), by SMS (command 31: the phone of the account, the binding
// text, the poll until it has arrived, the binding) or through the payment
// service's client app (command 32, the hand-off, the hand-back, command 34).
// Every road ends in the same bind-result handling: the store is written,
// the binding state settled, and the success alert leads on ("bindSuccess").
// The screen is made of its roads (SerialRoad, QrRoad, TextMsgRoad,
// KorvexRoad) and their shared end (BindOutcome); it builds the view, shows
// the help panel and hands the alerts and delegate calls to the roads.

#include <memory>
#include <optional>
#include <string>

#include "app/cycle/KAVOCommandViewController.h"
#include "app/screens/bind/BindModel.h"
#include "app/screens/bind/BindOutcome.h"
#include "app/screens/bind/KorvexRoad.h"
#include "app/screens/bind/QrRoad.h"
#include "app/screens/bind/SerialRoad.h"
#include "app/screens/bind/TextMsgRoad.h"
#include "lib/kit/ExampleModalPanel.h"
#include "lib/reader/ScanReaderDelegate.h"
#include "lib/reader/ScanReaderViewController.h"
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

    // The bar's buttons, off while an overlay of the screen's own is up.
    void setBarButtonsEnabled(bool on);

    // For tests and pictures.
    ui::TextField* serialField() const { return serial_.field(); }
    ui::Label* kavoLabel() const { return kavoLabel_.get(); }
    ExampleModalPanel* helpPanel() const { return helpPanel_.get(); }
    ProgressHUD* pollHud() const { return textMsg_.pollHud(); }
    ui::MessageComposeViewController* composer() const { return textMsg_.composer(); }
    ScanReaderViewController* qrReader() const { return qr_.reader(); }
    const std::string& sid() const { return textMsg_.sid(); }
    const std::string& userName() const { return textMsg_.userName(); }

protected:
    bool endsAppOnRemoteLogOutAlert() const override { return false; }

private:
    std::shared_ptr<ui::Label> kavoLabel_;
    std::shared_ptr<ExampleModalPanel> helpPanel_;

    BindOutcome outcome_;
    SerialRoad serial_;
    QrRoad qr_;
    TextMsgRoad textMsg_;
    KorvexRoad korvex_;
};
