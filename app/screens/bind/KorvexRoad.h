#pragma once
// The bind screen's payment road: the user names the account, its payment
// account is looked up (command 32), the payment service's client app is
// called with it (or its installation offered), and when the app hands a
// token back the phone binds with it (command 34, after a first-bind
// handshake).

#include <string>

#include "app/screens/bind/BindOutcome.h"

class BindViewController;

class KorvexRoad {
public:
    KorvexRoad(BindViewController& screen, BindOutcome& outcome);

    void registerCommands();
    // The road's button: asks for the account's name.
    void start();
    // The name was given: its payment account is looked up.
    void nameGiven(const std::string& name);
    // The user's answers to calling the app and to installing it.
    void handOffAnswered(int buttonIndex);
    void installAnswered(int buttonIndex);
    // Looks whether the app has handed back (on every appearance).
    void handBackCheck();

private:
    void handleAccount(const CommandReply& reply);

    BindViewController& screen_;
    BindOutcome& outcome_;
    std::string korvexCount_, kvToken_;
};
