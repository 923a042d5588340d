#include "platform/ui/TextField.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Text.h"

namespace ui {

// ---------------------------------------------------------------- Keyboard

namespace {
bool g_keyboardVisible = false;
[[maybe_unused]] const bool g_keyboardRegistered =
    (foundation::registerResetter("ui.keyboard", foundation::ResetPhase::SharedObject,
                                  [] { g_keyboardVisible = false; }),
     true);
constexpr double kKeyboardHeight = 216;
constexpr double kKeyboardDuration = 0.25;

foundation::Dictionary frameInfo(const Rect& begin, const Rect& end) {
    foundation::Dictionary d;
    d.set("frameBeginX", begin.x());
    d.set("frameBeginY", begin.y());
    d.set("frameBeginWidth", begin.width());
    d.set("frameBeginHeight", begin.height());
    d.set("frameEndX", end.x());
    d.set("frameEndY", end.y());
    d.set("frameEndWidth", end.width());
    d.set("frameEndHeight", end.height());
    d.set("duration", kKeyboardDuration);
    return d;
}

Rect hiddenFrame() {
    Rect s = Screen::main().bounds();
    return {0, s.height(), s.width(), kKeyboardHeight};
}
}  // namespace

Rect Keyboard::frame() {
    Rect s = Screen::main().bounds();
    return {0, s.height() - kKeyboardHeight, s.width(), kKeyboardHeight};
}

bool Keyboard::isVisible() { return g_keyboardVisible; }

void Keyboard::show() {
    if (g_keyboardVisible) return;
    g_keyboardVisible = true;
    auto& nc = foundation::NotificationCenter::defaultCenter();
    auto info = frameInfo(hiddenFrame(), frame());
    nc.post(kKeyboardWillShowNotification, nullptr, info);
    nc.post(kKeyboardDidShowNotification, nullptr, info);
}

void Keyboard::hide() {
    if (!g_keyboardVisible) return;
    g_keyboardVisible = false;
    auto& nc = foundation::NotificationCenter::defaultCenter();
    auto info = frameInfo(frame(), hiddenFrame());
    nc.post(kKeyboardWillHideNotification, nullptr, info);
    nc.post(kKeyboardDidHideNotification, nullptr, info);
}

namespace {
// Set while focus moves from one text view to another, so the keyboard stays.
int g_focusMoving = 0;

// After a responder gave up focus: the keyboard goes when no text view took it.
void hideKeyboardUnlessFocused() {
    if (g_focusMoving > 0) return;
    Responder* r = Responder::firstResponder();
    if (!dynamic_cast<TextField*>(r) && !dynamic_cast<TextView*>(r)) Keyboard::hide();
}

std::string applyReplacement(const std::string& text, TextRange range, const std::string& replacement) {
    size_t len = foundation::utf16Length(text);
    size_t loc = std::min(range.location, len);
    size_t n = std::min(range.length, len - loc);
    return foundation::utf16Substring(text, 0, loc) + replacement + foundation::utf16Substring(text, loc + n);
}

// The range of the last character (a surrogate pair counts as one).
TextRange lastCharacter(const std::string& text) {
    std::u16string u = foundation::toUtf16(text);
    if (u.empty()) return {0, 0};
    size_t n = 1;
    if (u.size() >= 2 && u.back() >= 0xDC00 && u.back() <= 0xDFFF && u[u.size() - 2] >= 0xD800 &&
        u[u.size() - 2] <= 0xDBFF)
        n = 2;
    return {u.size() - n, n};
}
}  // namespace

// ---------------------------------------------------------------- Caret

Caret::Caret(View& host) : bar_(View::create({0, 0, 2, 0})) {
    bar_->setBackgroundColor(Color::rgba(0.26, 0.42, 0.95));
    bar_->setUserInteractionEnabled(false);
    bar_->setHidden(true);
    host.addSubview(bar_);
}

Caret::~Caret() {
    if (timer_) timer_->invalidate();
}

void Caret::setActive(bool on) {
    if (on == isActive()) return;
    if (!on) {
        timer_->invalidate();
        timer_.reset();
        bar_->setHidden(true);
        return;
    }
    std::weak_ptr<View> weak = bar_;
    timer_ = foundation::RunLoop::main().addTimer(kBlinkInterval, true, [weak](foundation::Timer&) {
        if (auto bar = weak.lock()) bar->setHidden(!bar->isHidden());
    });
    bar_->setHidden(false);
}

void Caret::restartBlink() {
    if (!timer_) return;
    bar_->setHidden(false);
    timer_->setFireDate(foundation::clock().monotonic() + kBlinkInterval);
}

void Caret::setFrame(const Rect& frame) {
    bar_->setFrame(frame);
    // In front of the text (reordering asks for another layout: only when needed).
    View* host = bar_->superview();
    if (host && host->subviews().back() != bar_) host->bringSubviewToFront(bar_.get());
}

// ---------------------------------------------------------------- TextField

TextField::TextField(const Rect& frame) : Control(frame) {
    label_ = std::make_shared<Label>(bounds());
    label_->setBackgroundColor(Color::clearColor());
    label_->setUserInteractionEnabled(false);
    label_->setFont(Font::systemFont(17));
    addSubview(label_);
    caret_ = std::make_unique<Caret>(*this);
    updateLabel();
}

TextField::~TextField() = default;

void TextField::placeCaret() {
    const Rect lf = label_->frame();
    const Font f = label_->font();
    // Typing goes at the end of the text; over the placeholder, at the start.
    const double w = text_.empty() ? 0 : std::min(lf.width(), sizeWithFont(displayedText(), f).width);
    double x = lf.x() + w;
    switch (label_->textAlignment()) {
        case TextAlignment::Left:
            break;
        case TextAlignment::Center:
            x = lf.midX() + w / 2;
            break;
        case TextAlignment::Right:
            x = lf.maxX();
            break;
    }
    const double h = std::min(bounds().height(), textMeasurer().lineHeight(f));
    x = std::clamp(x, 0.0, std::max(0.0, bounds().width() - 2));
    caret_->setFrame({std::round(x), std::round(lf.midY() - h / 2), 2, std::round(h)});
}

void TextField::setText(const std::string& t) {
    text_ = t;
    updateLabel();
}

void TextField::setPlaceholder(const std::string& p) {
    placeholder_ = p;
    updateLabel();
}

void TextField::setPlaceholderColor(const Color& c) {
    placeholderColor_ = c;
    updateLabel();
}

void TextField::setFont(const Font& f) {
    label_->setFont(f);
    placeCaret();
}

void TextField::setTextColor(const Color& c) {
    textColor_ = c;
    updateLabel();
}

void TextField::setSecureTextEntry(bool s) {
    traits_.secureTextEntry = s;
    updateLabel();
}

void TextField::setBorderStyle(TextBorderStyle s) {
    borderStyle_ = s;
    layer().setBorderWidth(s == TextBorderStyle::None ? 0 : 1);
    layer().setBorderColor(Color::white(0.5));
    layer().setCornerRadius(s == TextBorderStyle::RoundedRect ? 7 : 0);
    if (s == TextBorderStyle::RoundedRect) setBackgroundColor(Color::whiteColor());
    setNeedsLayout();
}

std::string TextField::displayedText() const {
    if (text_.empty()) return placeholder_;
    if (!traits_.secureTextEntry) return text_;
    std::string dots;
    for (size_t i = 0, n = foundation::toUtf16(text_).size(); i < n; ++i) dots += "\u25CF";
    return dots;
}

void TextField::updateLabel() {
    label_->setText(displayedText());
    label_->setTextColor(text_.empty() ? placeholderColor_ : textColor_);
    placeCaret();
    caret_->restartBlink();
}

bool TextField::replace(TextRange range, const std::string& replacement) {
    if (delegate_ && !delegate_->textFieldShouldChangeCharacters(this, range, replacement)) return false;
    text_ = applyReplacement(text_, range, replacement);
    updateLabel();
    sendActions(kControlEventEditingChanged, nullptr);
    foundation::NotificationCenter::defaultCenter().post(kTextFieldTextDidChangeNotification, this);
    return true;
}

void TextField::insertText(const std::string& text) {
    if (!isEnabled()) return;
    size_t start = 0;
    // Each line break is the return key; the text between goes in as typed.
    while (start <= text.size()) {
        size_t nl = text.find('\n', start);
        std::string part = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!part.empty()) replace({foundation::utf16Length(text_), 0}, part);
        if (nl == std::string::npos) break;
        pressReturn();
        start = nl + 1;
    }
}

void TextField::deleteBackward() {
    if (!isEnabled() || text_.empty()) return;
    replace(lastCharacter(text_), "");
}

void TextField::pressReturn() {
    bool ok = delegate_ ? delegate_->textFieldShouldReturn(this) : true;
    if (ok) sendActions(kControlEventEditingDidEndOnExit, nullptr);
}

void TextField::clear() {
    if (delegate_ && !delegate_->textFieldShouldClear(this)) return;
    text_.clear();
    updateLabel();
    sendActions(kControlEventEditingChanged, nullptr);
}

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (delegate_ && !delegate_->textFieldShouldBeginEditing(this)) return false;
    ++g_focusMoving;
    bool ok = Control::becomeFirstResponder();
    --g_focusMoving;
    if (!ok) return false;
    editing_ = true;
    if (clearsOnBegin_) {
        text_.clear();
        updateLabel();
    }
    caret_->setActive(true);
    Keyboard::show();
    if (delegate_) delegate_->textFieldDidBeginEditing(this);
    sendActions(kControlEventEditingDidBegin, nullptr);
    return true;
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (delegate_ && !delegate_->textFieldShouldEndEditing(this)) return false;
    Control::resignFirstResponder();
    editing_ = false;
    caret_->setActive(false);
    if (delegate_) delegate_->textFieldDidEndEditing(this);
    sendActions(kControlEventEditingDidEnd, nullptr);
    hideKeyboardUnlessFocused();
    return true;
}

void TextField::endTrackingWithTouch(const Touch& touch, const Event&) {
    if (bounds().containsPoint(touch.locationInView(this))) becomeFirstResponder();
}

void TextField::layoutSubviews() {
    double inset = borderStyle_ == TextBorderStyle::None ? 0 : 7;
    label_->setFrame(bounds().insetBy(inset, 0));
    placeCaret();
}

// ---------------------------------------------------------------- TextView

TextView::TextView(const Rect& frame) : ScrollView(frame) {
    label_ = std::make_shared<Label>(bounds().insetBy(8, 8));
    label_->setBackgroundColor(Color::clearColor());
    label_->setNumberOfLines(0);
    label_->setLineBreakMode(LineBreakMode::WordWrap);
    label_->setFont(Font::systemFont(12));
    label_->setUserInteractionEnabled(false);
    addSubview(label_);
    caret_ = std::make_unique<Caret>(*this);
    setBackgroundColor(Color::whiteColor());
}

TextView::~TextView() = default;

void TextView::setText(const std::string& t) {
    label_->setText(t);
    setNeedsLayout();
}

void TextView::setFont(const Font& f) {
    label_->setFont(f);
    setNeedsLayout();
}

bool TextView::replace(TextRange range, const std::string& replacement) {
    if (delegate_ && !delegate_->textViewShouldChangeText(this, range, replacement)) return false;
    label_->setText(applyReplacement(label_->text(), range, replacement));
    setNeedsLayout();
    caret_->restartBlink();
    if (delegate_) delegate_->textViewDidChange(this);
    return true;
}

void TextView::insertText(const std::string& text) {
    if (!editable_ || text.empty()) return;
    replace({foundation::utf16Length(label_->text()), 0}, text);
}

void TextView::deleteBackward() {
    if (!editable_ || label_->text().empty()) return;
    replace(lastCharacter(label_->text()), "");
}

bool TextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (delegate_ && !delegate_->textViewShouldBeginEditing(this)) return false;
    ++g_focusMoving;
    bool ok = ScrollView::becomeFirstResponder();
    --g_focusMoving;
    if (!ok) return false;
    editing_ = true;
    caret_->setActive(true);
    setNeedsLayout();
    Keyboard::show();
    if (delegate_) delegate_->textViewDidBeginEditing(this);
    return true;
}

bool TextView::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (delegate_ && !delegate_->textViewShouldEndEditing(this)) return false;
    ScrollView::resignFirstResponder();
    editing_ = false;
    caret_->setActive(false);
    if (delegate_) delegate_->textViewDidEndEditing(this);
    hideKeyboardUnlessFocused();
    return true;
}

void TextView::touchesEnded(const TouchSet& touches, const Event& event) {
    bool wasDragging = isDragging();
    ScrollView::touchesEnded(touches, event);
    if (!wasDragging) becomeFirstResponder();
}

void TextView::layoutSubviews() {
    Rect b = bounds();
    double w = std::max(0.0, b.width() - 16);
    Size s = label_->sizeThatFits({w, 1e9});
    // A label centres its lines: as high as they are, they start at the top.
    label_->setFrame({8, 8, w, s.height});
    const Font f = label_->font();
    const double line = textMeasurer().lineHeight(f);
    const Point end = endOfText(label_->text(), f, w, label_->lineBreakMode());
    caret_->setFrame(
        {std::round(8 + std::min(end.x, std::max(0.0, w - 1))), std::round(8 + end.y), 2, std::round(line)});
    setContentSize({b.width(), std::max(s.height, end.y + line) + 16});
}

}  // namespace ui
