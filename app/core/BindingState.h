#pragma once
// How far the phone is bound, as the user defaults keep it under
// StoreKeys::korvxboundstate (and the state before a hand-off to the payment
// app under StoreKeys::laststate). The numbers are what the defaults file
// holds; a number that is none of these reads as itself and answers no to
// every question below.

namespace binding {

enum class BindingState : long long {
    None = 0,  // not bound: a new install, or after a log-out
    // The code screen opened the payment app to turn payment verification
    // on; the main screen finishes the switch when the app hands back.
    VerificationHandedOff = 1,
    // A binding through the payment service opened the payment app; the bind
    // screen finishes it when the app hands back.
    BindingHandedOff = 2,
    Bound = 3,                // bound by serial, QR code or text message
    PaymentVerification = 10  // bound, and payment verification is on
};

// The state in the user defaults, and the one before the last hand-off.
BindingState stored();
BindingState storedLast();
// Writes the state (and, with storeBoth, the one before a hand-off too);
// the caller synchronizes the defaults.
void store(BindingState state);
void storeBoth(BindingState state);

// The live code may be shown: bound, with or without payment verification.
constexpr bool showsLiveCode(BindingState state) {
    return state == BindingState::Bound || state == BindingState::PaymentVerification;
}
// Payment verification is on.
constexpr bool paymentVerificationOn(BindingState state) { return state == BindingState::PaymentVerification; }

}  // namespace binding
