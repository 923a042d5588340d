// The binding state as the defaults file holds it: the numbers under
// "korvxboundstate" and "laststate" that installed phones already have, and
// what the screens ask of them.
#include <gtest/gtest.h>

#include "app/core/BindingState.h"
#include "platform/foundation/UserDefaults.h"

namespace {

using binding::BindingState;

foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

TEST(BindingState, TheStoredNumbersAnswerTheScreensQuestions) {
    struct Case {
        long long stored;
        BindingState state;
        bool showsLiveCode, paymentVerificationOn;
    } cases[] = {
        {0, BindingState::None, false, false},
        {1, BindingState::VerificationHandedOff, false, false},
        {2, BindingState::BindingHandedOff, false, false},
        {3, BindingState::Bound, true, false},
        {10, BindingState::PaymentVerification, true, true},
        {7, BindingState(7), false, false},  // a number of no state
    };
    for (const auto& c : cases) {
        defaults().setInteger("korvxboundstate", c.stored);
        EXPECT_EQ(binding::stored(), c.state) << c.stored;
        EXPECT_EQ(binding::showsLiveCode(binding::stored()), c.showsLiveCode) << c.stored;
        EXPECT_EQ(binding::paymentVerificationOn(binding::stored()), c.paymentVerificationOn) << c.stored;
    }
    defaults().removeObjectForKey("korvxboundstate");
    EXPECT_EQ(binding::stored(), BindingState::None) << "a new install reads as not bound";
}

TEST(BindingState, StoringWritesTheNumbersUnderTheKeysOfTheDefaultsFile) {
    defaults().setInteger("laststate", 3);
    binding::store(BindingState::BindingHandedOff);
    EXPECT_EQ(defaults().integerForKey("korvxboundstate"), 2);
    EXPECT_EQ(defaults().integerForKey("laststate"), 3) << "a hand-off keeps the state before it";
    EXPECT_EQ(binding::storedLast(), BindingState::Bound);

    binding::storeBoth(BindingState::PaymentVerification);
    EXPECT_EQ(defaults().integerForKey("korvxboundstate"), 10);
    EXPECT_EQ(defaults().integerForKey("laststate"), 10);
}

}  // namespace
