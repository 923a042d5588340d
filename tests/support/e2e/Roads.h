#pragma once
// Stretches of the user's road that more than one walk goes along: a phone
// bound before the start, the guide on a first start, a binding's success
// alert on to the hub, the demo serial's binding, and each of the hub's five
// buttons there and back. They use gtest's assertions: the caller checks
// HasFatalFailure() after each.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/support/e2e/AppSession.h"

namespace e2e {

// The window's texts in one line, labels marked "@", for failure messages.
std::string shownLine(const AppSession& app);
// A value of the program's key/value store ("" when it has none).
std::string storedValue(const AppSession& app, const char* key);

// A phone bound before the program starts, on a build launched before (not
// its first start) and in the bound state given (3, or 10 with payment
// verification); `more` then seeds what the road needs besides.
Options launchedBoundPhone(long long boundState = 3, std::function<void()> more = {});

// First start: the guide's skip button opens the bind screen. The guide and
// the bind screen are pictured ("guide", "bind", see AppSession::picture).
void throughTheGuide(AppSession& app);
// A binding's success alert: its button leads to the hub, and the phone is
// bound (the bound state, 3, or 10 with payment verification, and the
// account's key stored).
void fromTheSuccessToTheHub(AppSession& app, long long boundState = 3);
// The bind screen's serial road with the demo serial: typed into its field,
// the success alert on to the hub (fromTheSuccessToTheHub) and the advert of
// a first visit tapped away (tapTheAdvertAway).
void bindTheDemoSerialAndTapTheAdvertAway(AppSession& app);
// The hub is up and still: its five buttons are shown.
::testing::AssertionResult onTheHub(AppSession& app, double seconds = 30);
// Each of the hub's five buttons opens its screen and the back button
// returns to the hub. Each screen is pictured (AppSession::picture).
void everyHubButtonAndBack(AppSession& app);
// A phone that has not seen the server's advert yet: the hub asks for it,
// its banner slides in over the top of the hub (its stripes read from the
// window's pixels), and a tap on it sends it away. Ends once it has gone.
void tapTheAdvertAway(AppSession& app);
// Whether the code tab, opened now, greets the phone with a notice pointing
// at the button that turns payment verification on: it does so once, on a
// phone bound without it.
bool paymentNoticeDue(const AppSession& app);
// The notice, when it is due: read and closed with 确定.
void passThePaymentNotice(AppSession& app, bool due);

}  // namespace e2e
