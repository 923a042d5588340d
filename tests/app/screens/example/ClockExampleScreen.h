#pragma once
// The worked example of docs/internals/screens.md: a screen with one
// command. Its button "校准" sends the time command (20) through the command
// cycle; the reply goes through the model into the label.

#include <memory>
#include <string>

#include "app/cycle/KAVOCommandViewController.h"
#include "platform/ui/Label.h"
#include "tests/app/screens/example/ClockExampleModel.h"

class ClockExampleScreen : public KAVOCommandViewController {
public:
    static constexpr int kTagTime = 20;

    ClockExampleScreen();
    const char* className() const override { return "ClockExampleScreen"; }
    void viewDidLoad() override;

    ui::Label* captionLabel() const { return caption_.get(); }

private:
    std::shared_ptr<ui::Label> caption_;
};
