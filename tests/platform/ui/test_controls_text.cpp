// Text entry: delegate vetoes, return key, focus and the keyboard notifications.

#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using namespace ui;

// Accepts digits only, at most four characters; records the calls.
class DigitsDelegate : public TextFieldDelegate {
public:
    std::vector<std::string> log;
    bool allowReturn = true;
    bool textFieldShouldBeginEditing(TextField*) override {
        log.push_back("shouldBegin");
        return true;
    }
    void textFieldDidBeginEditing(TextField*) override { log.push_back("didBegin"); }
    void textFieldDidEndEditing(TextField*) override { log.push_back("didEnd"); }
    bool textFieldShouldChangeCharacters(TextField* f, TextRange range, const std::string& s) override {
        log.push_back("change " + std::to_string(range.location) + "," + std::to_string(range.length) + " '" + s + "'");
        for (char c : s)
            if (c < '0' || c > '9') return false;
        return f->text().size() - range.length + s.size() <= 4;
    }
    bool textFieldShouldReturn(TextField*) override {
        log.push_back("return");
        return allowReturn;
    }
};

class TextEntryTest : public uitest::UiFixture {
protected:
    void SetUp() override {
        UiFixture::SetUp();
        window = Window::create({0, 0, 320, 480});
        window->makeKeyAndVisible();
        field = std::make_shared<TextField>(Rect{10, 10, 200, 31});
        field->setDelegate(&delegate);
        window->addSubview(field);
        auto& nc = foundation::NotificationCenter::defaultCenter();
        for (const char* name : {kKeyboardWillShowNotification, kKeyboardWillHideNotification}) {
            nc.addObserver(this, name, [this](const foundation::Notification& n) {
                const auto* info = n.userInfo.asDictionary();
                double endY = info ? info->find("frameEndY")->doubleValue() : -1;
                keyboard.push_back(n.name + " " + std::to_string(int(endY)));
            });
        }
    }
    void TearDown() override {
        foundation::NotificationCenter::defaultCenter().removeObserver(this);
        if (auto* r = Responder::firstResponder()) r->resignFirstResponder();
        UiFixture::TearDown();
    }
    std::shared_ptr<Window> window;
    std::shared_ptr<TextField> field;
    DigitsDelegate delegate;
    std::vector<std::string> keyboard;
};

TEST_F(TextEntryTest, DelegateVetoesCharactersAndLength) {
    ASSERT_TRUE(field->becomeFirstResponder());
    window->sendText("1");
    window->sendText("a");
    window->sendText("234");
    window->sendText("5");  // a fifth digit is refused
    EXPECT_EQ(field->text(), "1234");
    window->sendBackspace();
    EXPECT_EQ(field->text(), "123");
    std::vector<std::string> want{"shouldBegin",      "didBegin",       "change 0,0 '1'", "change 1,0 'a'",
                                  "change 1,0 '234'", "change 4,0 '5'", "change 3,1 ''"};
    EXPECT_EQ(delegate.log, want);
}

TEST_F(TextEntryTest, EditingEventsAndReturnKey) {
    std::vector<std::string> events;
    field->addTarget(
        nullptr, [&](Control*, const Event*) { events.push_back("changed"); }, kControlEventEditingChanged);
    field->addTarget(
        nullptr, [&](Control*, const Event*) { events.push_back("exit"); }, kControlEventEditingDidEndOnExit);
    field->becomeFirstResponder();
    window->sendText("12\n");
    delegate.allowReturn = false;
    window->sendText("\n");
    std::vector<std::string> want{"changed", "exit"};
    EXPECT_EQ(events, want);
    EXPECT_EQ(field->text(), "12");
}

TEST_F(TextEntryTest, FocusMovesBetweenFieldsAndKeyboardShowsOnce) {
    auto other = std::make_shared<TextField>(Rect{10, 60, 200, 31});
    window->addSubview(other);
    // A tap on the field gives it focus.
    window->sendTouch(TouchPhase::Began, {50, 20}, 0);
    window->sendTouch(TouchPhase::Ended, {50, 20}, 0.1);
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(field->isEditing());
    EXPECT_TRUE(other->becomeFirstResponder());
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(Keyboard::isVisible());
    other->resignFirstResponder();
    EXPECT_FALSE(Keyboard::isVisible());
    std::vector<std::string> want{std::string(kKeyboardWillShowNotification) + " 264",
                                  std::string(kKeyboardWillHideNotification) + " 480"};
    EXPECT_EQ(keyboard, want);
    EXPECT_EQ(Keyboard::frame(), (Rect{0, 264, 320, 216}));
}

TEST_F(TextEntryTest, SecureFieldShowsDotsAndPlaceholderWhenEmpty) {
    field->setPlaceholder("Password");
    field->setSecureTextEntry(true);
    EXPECT_EQ(field->displayedText(), "Password");
    field->setText("ab中");
    EXPECT_EQ(field->displayedText(), "\u25CF\u25CF\u25CF");
    EXPECT_EQ(field->text(), "ab中");
}

TEST_F(TextEntryTest, DisabledFieldTakesNoFocus) {
    field->setEnabled(false);
    EXPECT_FALSE(field->becomeFirstResponder());
    EXPECT_FALSE(Keyboard::isVisible());
}

class LimitedTextView : public TextViewDelegate {
public:
    int changes = 0;
    bool textViewShouldChangeText(TextView*, TextRange, const std::string& s) override { return s != "\n"; }
    void textViewDidChange(TextView*) override { ++changes; }
};

TEST_F(TextEntryTest, TextViewAsksItsDelegateForEachChange) {
    auto tv = std::make_shared<TextView>(Rect{0, 100, 320, 100});
    LimitedTextView d;
    tv->setTextDelegate(&d);
    window->addSubview(tv);
    ASSERT_TRUE(tv->becomeFirstResponder());
    window->sendText("你好");
    window->sendText("\n");
    window->sendBackspace();
    EXPECT_EQ(tv->text(), "你");
    EXPECT_EQ(d.changes, 2);
    tv->setEditable(false);
    tv->resignFirstResponder();
    EXPECT_FALSE(tv->becomeFirstResponder());
}

}  // namespace
