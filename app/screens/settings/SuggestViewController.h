#pragma once
// The feedback screen: up to 200 characters of free text, sent with the
// return key (command 28), at most once every ten minutes.

#include <memory>

#include "app/cycle/KAVOCommandViewController.h"
#include "platform/ui/TextField.h"

class SuggestViewController : public KAVOCommandViewController, public ui::TextViewDelegate {
public:
    static constexpr const char* kIdentifier = "SuggestViewController";
    static constexpr int kTagSuggest = 28;
    static constexpr int kAlertLeave = 100;

    SuggestViewController();
    const char* className() const override { return "SuggestViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    ui::TextView* suggestTxt() const { return suggestTxt_.get(); }
    ui::Label* suggestLabel() const { return suggestLabel_.get(); }
    ui::Label* upLabel() const { return upLabel_.get(); }
    void hideLabel();

    bool textViewShouldChangeText(ui::TextView* textView, ui::TextRange range, const std::string& replacement) override;

protected:
    void alertClicked(ui::AlertView* alertView, int buttonIndex) override;

private:
    void sendCheck();
    void showAlert(const std::string& title, const std::string& message, int tag);

    std::shared_ptr<ui::TextView> suggestTxt_;
    std::shared_ptr<ui::Label> suggestLabel_, upLabel_;
    std::shared_ptr<ui::Button> hideBtn_;
};
