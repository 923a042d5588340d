#pragma once
// Text entry: a one-line field and a multi-line text view. Typed text comes
// from the window's keyboard (or a test) through the first responder; the
// delegate may veto each change. Becoming first responder shows the
// keyboard, announced by the keyboard notifications with its frame.

#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

namespace ui {

// Notification names; userInfo holds "frameBeginX/Y/Width/Height",
// "frameEndX/Y/Width/Height" (window points) and "duration".
inline constexpr const char* kKeyboardWillShowNotification = "KeyboardWillShowNotification";
inline constexpr const char* kKeyboardDidShowNotification = "KeyboardDidShowNotification";
inline constexpr const char* kKeyboardWillHideNotification = "KeyboardWillHideNotification";
inline constexpr const char* kKeyboardDidHideNotification = "KeyboardDidHideNotification";
inline constexpr const char* kTextFieldTextDidChangeNotification = "TextFieldTextDidChangeNotification";

// The on-screen keyboard: 216 points high at the bottom of the screen.
class Keyboard {
public:
    static Rect frame();
    static bool isVisible();
    // Called by the text views when they gain or give up focus.
    static void show();
    static void hide();
};

// A range in UTF-16 code units of the text.
struct TextRange {
    size_t location = 0, length = 0;
};

enum class KeyboardType {
    Default = 0,
    ASCIICapable,
    NumbersAndPunctuation,
    URL,
    NumberPad,
    PhonePad,
    NamePhonePad,
    EmailAddress,
    DecimalPad
};
enum class ReturnKeyType { Default = 0, Go, Google, Join, Next, Route, Search, Send, Yahoo, Done, EmergencyCall };
enum class TextAutocapitalizationType { None = 0, Words, Sentences, AllCharacters };
enum class TextAutocorrectionType { Default = 0, No, Yes };
enum class TextBorderStyle { None = 0, Line, Bezel, RoundedRect };
enum class TextFieldViewMode { Never = 0, WhileEditing, UnlessEditing, Always };

// The insertion point of a focused text view: a thin bar that blinks on the
// main run loop's timers (so on the injectable clock), steady for a moment
// after each change.
class Caret {
public:
    static constexpr double kBlinkInterval = 0.5;
    explicit Caret(View& host);
    ~Caret();
    Caret(const Caret&) = delete;
    Caret& operator=(const Caret&) = delete;
    View* view() const { return bar_.get(); }
    // Shown and blinking while `on`; hidden otherwise.
    void setActive(bool on);
    bool isActive() const { return timer_ != nullptr; }
    // Steady again from now (the text changed or the caret moved).
    void restartBlink();
    void setFrame(const Rect& frame);
    // Clear for a field that only collects keys (its text is shown elsewhere).
    void setColor(const Color& color) { bar_->setBackgroundColor(color); }

private:
    std::shared_ptr<View> bar_;
    foundation::TimerRef timer_;
};

class TextField;

class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField*) { return true; }
    virtual void textFieldDidBeginEditing(TextField*) {}
    virtual bool textFieldShouldEndEditing(TextField*) { return true; }
    virtual void textFieldDidEndEditing(TextField*) {}
    virtual bool textFieldShouldChangeCharacters(TextField*, TextRange range, const std::string& replacement) {
        (void)range;
        (void)replacement;
        return true;
    }
    virtual bool textFieldShouldClear(TextField*) { return true; }
    virtual bool textFieldShouldReturn(TextField*) { return true; }
};

// Settings shared by the field and the text view.
struct TextInputTraits {
    KeyboardType keyboardType = KeyboardType::Default;
    ReturnKeyType returnKeyType = ReturnKeyType::Default;
    TextAutocapitalizationType autocapitalizationType = TextAutocapitalizationType::Sentences;
    TextAutocorrectionType autocorrectionType = TextAutocorrectionType::Default;
    bool secureTextEntry = false;
    bool enablesReturnKeyAutomatically = false;
};

class TextField : public Control {
public:
    explicit TextField(const Rect& frame = {});
    ~TextField() override;
    const char* className() const override { return "TextField"; }

    const std::string& text() const { return text_; }
    void setText(const std::string& t);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::string& p);
    Color placeholderColor() const { return placeholderColor_; }
    void setPlaceholderColor(const Color& c);
    Font font() const { return label_->font(); }
    void setFont(const Font& f);
    Color textColor() const { return textColor_; }
    void setTextColor(const Color& c);
    TextAlignment textAlignment() const { return label_->textAlignment(); }
    void setTextAlignment(TextAlignment a) { label_->setTextAlignment(a); }
    TextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TextBorderStyle s);
    TextFieldViewMode clearButtonMode() const { return clearMode_; }
    void setClearButtonMode(TextFieldViewMode m) { clearMode_ = m; }
    bool clearsOnBeginEditing() const { return clearsOnBegin_; }
    void setClearsOnBeginEditing(bool c) { clearsOnBegin_ = c; }
    // 0: no limit besides the delegate's.
    TextInputTraits& traits() { return traits_; }
    const TextInputTraits& traits() const { return traits_; }
    bool isSecureTextEntry() const { return traits_.secureTextEntry; }
    void setSecureTextEntry(bool s);
    KeyboardType keyboardType() const { return traits_.keyboardType; }
    void setKeyboardType(KeyboardType k) { traits_.keyboardType = k; }
    ReturnKeyType returnKeyType() const { return traits_.returnKeyType; }
    void setReturnKeyType(ReturnKeyType r) { traits_.returnKeyType = r; }

    TextFieldDelegate* delegate() const { return delegate_; }
    void setDelegate(TextFieldDelegate* d) { delegate_ = d; }
    bool isEditing() const { return editing_; }

    // What the field shows: the text (dots when secure) or the placeholder.
    std::string displayedText() const override;
    // The text the user types at the end of the field (each character passes
    // the delegate); "\n" is the return key.
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    // The return key: asks the delegate and sends editing-did-end-on-exit.
    void pressReturn();
    // The clear button: asks the delegate, then empties the field.
    void clear();

    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void endTrackingWithTouch(const Touch& touch, const Event& event) override;
    void layoutSubviews() override;
    // The insertion point, shown while the field is focused.
    const Caret& caret() const { return *caret_; }
    Caret& caret() { return *caret_; }

private:
    // Applies a replacement of the range if the delegate lets it.
    bool replace(TextRange range, const std::string& replacement);
    void updateLabel();
    void placeCaret();

    std::string text_, placeholder_;
    std::shared_ptr<Label> label_;
    Color textColor_ = Color::blackColor();
    Color placeholderColor_ = Color::white(0.7);
    TextBorderStyle borderStyle_ = TextBorderStyle::None;
    TextFieldViewMode clearMode_ = TextFieldViewMode::Never;
    bool clearsOnBegin_ = false;
    TextInputTraits traits_;
    TextFieldDelegate* delegate_ = nullptr;
    bool editing_ = false;
    std::unique_ptr<Caret> caret_;
};

class TextView;

class TextViewDelegate : public ScrollViewDelegate {
public:
    virtual bool textViewShouldBeginEditing(TextView*) { return true; }
    virtual void textViewDidBeginEditing(TextView*) {}
    virtual bool textViewShouldEndEditing(TextView*) { return true; }
    virtual void textViewDidEndEditing(TextView*) {}
    virtual bool textViewShouldChangeText(TextView*, TextRange range, const std::string& replacement) {
        (void)range;
        (void)replacement;
        return true;
    }
    virtual void textViewDidChange(TextView*) {}
};

class TextView : public ScrollView {
public:
    explicit TextView(const Rect& frame = {});
    ~TextView() override;
    const char* className() const override { return "TextView"; }
    const std::string& text() const { return label_->text(); }
    void setText(const std::string& t);
    Font font() const { return label_->font(); }
    void setFont(const Font& f);
    Color textColor() const { return label_->textColor(); }
    void setTextColor(const Color& c) { label_->setTextColor(c); }
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    TextInputTraits& traits() { return traits_; }
    TextViewDelegate* textDelegate() const { return delegate_; }
    void setTextDelegate(TextViewDelegate* d) {
        delegate_ = d;
        setDelegate(d);
    }
    bool isEditing() const { return editing_; }

    std::string displayedText() const override { return text(); }
    // Typed text ("\n" is a new line, unless the delegate refuses it).
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    bool canBecomeFirstResponder() const override { return editable_; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    // The text from the top left, wrapped within the width less 8 points on
    // each side.
    void layoutSubviews() override;
    // The insertion point, shown while the view is focused.
    const Caret& caret() const { return *caret_; }
    // The view showing the text.
    const Label* textLabel() const { return label_.get(); }

private:
    bool replace(TextRange range, const std::string& replacement);
    std::shared_ptr<Label> label_;
    std::unique_ptr<Caret> caret_;
    bool editable_ = true, editing_ = false;
    TextInputTraits traits_;
    TextViewDelegate* delegate_ = nullptr;
};

}  // namespace ui
