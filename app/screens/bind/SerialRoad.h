#pragma once
// The bind screen's serial road: the six-character serial typed into the
// field (it is sent as soon as it is whole) or read from a QR code, bound
// by command 16 after a first-bind handshake. While the field is edited the
// screen moves up out of the keyboard's way.

#include <memory>
#include <string>

#include "app/screens/bind/BindOutcome.h"
#include "platform/ui/TextField.h"

class BindViewController;

class SerialRoad {
public:
    SerialRoad(BindViewController& screen, BindOutcome& outcome);

    void registerCommand();
    // The field, its delegate the screen.
    std::shared_ptr<ui::TextField> makeField(const ui::Rect& frame);
    ui::TextField* field() const { return field_.get(); }

    // The field changed: a whole serial is sent.
    void numOfTextField();
    // Sends a typed serial, or says what is wrong with it; the field empties.
    void initFinish(const std::string& serial);
    // Sends a serial read from a QR code.
    void submit(const std::string& serial);
    // Puts the keyboard away and empties the field.
    void backBroad();

    // The field's delegate, through the screen.
    void didBeginEditing();
    void didEndEditing();

private:
    void moveView(bool up);

    BindViewController& screen_;
    BindOutcome& outcome_;
    std::shared_ptr<ui::TextField> field_;
    bool viewMovedUp_ = false;
};
