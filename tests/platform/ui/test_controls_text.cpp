// Text entry: delegate vetoes, return key, focus and the keyboard notifications.

#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Text.h"
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

// The caret's colour where it is drawn (rendered at scale 1).
::testing::AssertionResult caretDrawn(Window& window, const View& caret) {
    const Rect r = caret.convertRectToView(caret.bounds(), nullptr);
    auto img = window.render(1);
    return uitest::pixelNear(*img, int(r.x()), int(r.midY()), Rgba{66, 107, 242, 255}, 3);
}

TEST_F(TextEntryTest, TheCaretBlinksAtTheEndOfTheTextWhileTheFieldIsFocused) {
    window->setBackgroundColor(Color::whiteColor());
    const View& caret = *field->caret().view();
    EXPECT_TRUE(caret.isHidden());
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_FALSE(caret.isHidden());
    EXPECT_NEAR(caret.frame().x(), 0, 1);  // an empty field types at its start
    EXPECT_TRUE(caretDrawn(*window, caret));

    window->sendText("12");
    const double after12 = sizeWithFont("12", field->font()).width;
    EXPECT_NEAR(caret.frame().x(), after12, 1);
    EXPECT_NEAR(caret.frame().midY(), field->bounds().midY(), 1);
    EXPECT_GE(caret.frame().height(), field->font().pointSize());
    // It blinks on the clock: off after half a second, on again after another.
    advance(Caret::kBlinkInterval);
    EXPECT_TRUE(caret.isHidden());
    advance(Caret::kBlinkInterval);
    EXPECT_FALSE(caret.isHidden());
    advance(Caret::kBlinkInterval);
    EXPECT_TRUE(caret.isHidden());
    // Typing shows it at once, steady for a moment, past the new character.
    window->sendText("3");
    EXPECT_FALSE(caret.isHidden());
    EXPECT_NEAR(caret.frame().x(), sizeWithFont("123", field->font()).width, 1);
    advance(Caret::kBlinkInterval * 0.8);
    EXPECT_FALSE(caret.isHidden());
    advance(Caret::kBlinkInterval * 0.4);
    EXPECT_TRUE(caret.isHidden());

    // Focus gone: no caret, and no blinking.
    ASSERT_TRUE(field->resignFirstResponder());
    for (int i = 0; i < 3; ++i) {
        advance(Caret::kBlinkInterval);
        EXPECT_TRUE(caret.isHidden()) << i;
    }
}

TEST_F(TextEntryTest, TextViewTypesFromTheTopLeftWithItsCaretAfterTheText) {
    window->setBackgroundColor(Color::whiteColor());
    auto tv = std::make_shared<TextView>(Rect{10, 60, 290, 150});
    tv->setFont(Font::systemFont(14));
    tv->setTextColor(Color::blackColor());
    window->addSubview(tv);
    ASSERT_TRUE(tv->becomeFirstResponder());
    window->layoutIfNeeded();
    const View& caret = *tv->caret().view();
    EXPECT_FALSE(caret.isHidden());
    EXPECT_EQ(caret.frame().origin, (Point{8, 8}));
    window->sendText("意见");
    window->layoutIfNeeded();

    // The ink of the text: in the first line's band at the left, not centred.
    auto img = window->render(1);
    int top = 1 << 20, left = 1 << 20, bottom = -1;
    for (int y = 60; y < 210; ++y)
        for (int x = 10; x < 300; ++x) {
            const Rgba p = img->pixel(x, y);
            if (p.r + p.g + p.b < 3 * 128) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
            }
        }
    const double line = textMeasurer().lineHeight(tv->font());
    ASSERT_GE(bottom, 0) << "no text drawn";
    EXPECT_GE(top, 60 + 8);
    EXPECT_LE(bottom, 60 + 8 + line + 1);
    EXPECT_LE(left, 10 + 8 + 3);
    EXPECT_NEAR(caret.frame().x(), 8 + sizeWithFont("意见", tv->font()).width, 1.5);
    EXPECT_EQ(caret.frame().y(), 8);
    EXPECT_TRUE(caretDrawn(*window, caret));

    // A new line: the caret starts the next one.
    window->sendText("\nab");
    window->layoutIfNeeded();
    EXPECT_NEAR(caret.frame().y(), 8 + line, 1);
    EXPECT_NEAR(caret.frame().x(), 8 + sizeWithFont("ab", tv->font()).width, 1.5);
    ASSERT_TRUE(tv->resignFirstResponder());
    EXPECT_TRUE(caret.isHidden());
}

}  // namespace
