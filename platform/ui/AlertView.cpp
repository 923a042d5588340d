#include "platform/ui/AlertView.h"

#include <algorithm>

#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Text.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
// Visible alerts and sheets are kept alive by the screen, as a shown alert
// lives on after its maker lets go of it.
std::vector<std::shared_ptr<AlertView>>& alerts() {
    static std::vector<std::shared_ptr<AlertView>> list;
    // Alerts still up go without calling their delegates: those may be gone.
    static const bool registered =
        (foundation::registerResetter("ui.alerts", foundation::ResetPhase::Presentation,
                                      [] {
                                          while (!list.empty()) {
                                              auto alert = list.back();
                                              alert->setDelegate(nullptr);
                                              alert->dismissWithClickedButtonIndex(-1, false);
                                              if (!list.empty() && list.back() == alert) list.pop_back();
                                          }
                                      }),
         true);
    (void)registered;
    return list;
}
std::vector<std::shared_ptr<ActionSheet>>& sheets() {
    static std::vector<std::shared_ptr<ActionSheet>> list;
    static const bool registered =
        (foundation::registerResetter("ui.actionSheets", foundation::ResetPhase::Presentation,
                                      [] {
                                          while (!list.empty()) {
                                              auto sheet = list.back();
                                              sheet->setDelegate(nullptr);
                                              sheet->dismissWithClickedButtonIndex(-1, false);
                                              if (!list.empty() && list.back() == sheet) list.pop_back();
                                          }
                                      }),
         true);
    (void)registered;
    return list;
}

Rect hostBounds() {
    if (Window* w = Window::keyWindow()) return w->bounds();
    return Screen::main().bounds();
}

std::shared_ptr<View> makeDimView() {
    auto dim = std::make_shared<View>(hostBounds());
    dim->setBackgroundColor(Color::white(0, 0.4));
    dim->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    if (Window* w = Window::keyWindow()) w->addSubview(dim);
    return dim;
}

std::shared_ptr<Button> makeAlertButton(const std::string& title, bool bold) {
    auto b = Button::buttonWithType(ButtonType::Custom);
    b->setTitle(title);
    b->titleLabel()->setFont(bold ? Font::boldSystemFont(18) : Font::systemFont(18));
    b->setBackgroundColor(Color::rgba(0.25, 0.33, 0.5, 0.9));
    b->layer().setCornerRadius(6);
    b->layer().setBorderWidth(1);
    b->layer().setBorderColor(Color::white(1, 0.3));
    return b;
}
}  // namespace

// ---------------------------------------------------------------- AlertView

AlertView::AlertView(const std::string& title, const std::string& message, AlertViewDelegate* delegate,
                     const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : View(Rect{0, 0, kWidth, 0}), title_(title), message_(message), delegate_(delegate) {
    setBackgroundColor(Color::rgba(0.05, 0.13, 0.35, 0.92));
    layer().setCornerRadius(10);
    layer().setBorderWidth(2);
    layer().setBorderColor(Color::white(1, 0.8));
    titleLabel_ = std::make_shared<Label>(Rect{});
    titleLabel_->setFont(Font::boldSystemFont(18));
    titleLabel_->setTextColor(Color::whiteColor());
    titleLabel_->setBackgroundColor(Color::clearColor());
    titleLabel_->setTextAlignment(TextAlignment::Center);
    titleLabel_->setNumberOfLines(0);
    titleLabel_->setLineBreakMode(LineBreakMode::WordWrap);
    addSubview(titleLabel_);
    messageLabel_ = std::make_shared<Label>(Rect{});
    messageLabel_->setFont(Font::systemFont(16));
    messageLabel_->setTextColor(Color::whiteColor());
    messageLabel_->setBackgroundColor(Color::clearColor());
    messageLabel_->setTextAlignment(TextAlignment::Center);
    messageLabel_->setNumberOfLines(0);
    messageLabel_->setLineBreakMode(LineBreakMode::WordWrap);
    addSubview(messageLabel_);
    if (!cancelButtonTitle.empty()) {
        buttonTitles_.push_back(cancelButtonTitle);
        cancelIndex_ = 0;
    }
    for (const auto& t : otherButtonTitles) buttonTitles_.push_back(t);
    rebuildButtons();
}

AlertView::~AlertView() {
    if (dimView_) dimView_->removeFromSuperview();
}

void AlertView::setTitle(const std::string& t) {
    title_ = t;
    if (visible_) layoutAlert();
}

void AlertView::setMessage(const std::string& m) {
    message_ = m;
    if (visible_) layoutAlert();
}

void AlertView::setAlertViewStyle(AlertViewStyle s) {
    style_ = s;
    rebuildFields();
    if (visible_) layoutAlert();
}

void AlertView::rebuildFields() {
    for (auto& f : fields_) f->removeFromSuperview();
    fields_.clear();
    int n = style_ == AlertViewStyle::Default ? 0 : style_ == AlertViewStyle::LoginAndPasswordInput ? 2 : 1;
    for (int i = 0; i < n; ++i) {
        auto f = std::make_shared<TextField>(Rect{});
        f->setBorderStyle(TextBorderStyle::Line);
        f->setBackgroundColor(Color::whiteColor());
        f->setFont(Font::systemFont(16));
        if (style_ == AlertViewStyle::LoginAndPasswordInput) f->setPlaceholder(i == 0 ? "Login" : "Password");
        bool secure =
            style_ == AlertViewStyle::SecureTextInput || (style_ == AlertViewStyle::LoginAndPasswordInput && i == 1);
        f->setSecureTextEntry(secure);
        fields_.push_back(f);
        addSubview(f);
    }
}

TextField* AlertView::textFieldAtIndex(int index) const {
    return index >= 0 && index < int(fields_.size()) ? fields_[index].get() : nullptr;
}

int AlertView::addButtonWithTitle(const std::string& title) {
    buttonTitles_.push_back(title);
    rebuildButtons();
    if (visible_) layoutAlert();
    return int(buttonTitles_.size()) - 1;
}

std::string AlertView::buttonTitleAtIndex(int index) const {
    return index >= 0 && index < int(buttonTitles_.size()) ? buttonTitles_[index] : std::string();
}

int AlertView::firstOtherButtonIndex() const {
    for (int i = 0; i < int(buttonTitles_.size()); ++i)
        if (i != cancelIndex_) return i;
    return -1;
}

Button* AlertView::buttonAtIndex(int index) const {
    return index >= 0 && index < int(buttons_.size()) ? buttons_[index].get() : nullptr;
}

void AlertView::rebuildButtons() {
    for (auto& b : buttons_) b->removeFromSuperview();
    buttons_.clear();
    for (int i = 0; i < int(buttonTitles_.size()); ++i) {
        auto b = makeAlertButton(buttonTitles_[i], i == cancelIndex_);
        b->addTarget(
            this, [this, i](Control*, const Event*) { clickButtonAtIndex(i); }, kControlEventTouchUpInside);
        buttons_.push_back(b);
        addSubview(b);
    }
    laidOut_ = false;
}

void AlertView::layoutAlert() {
    const double inner = kWidth - 2 * 12;
    double y = 15;
    titleLabel_->setText(title_);
    messageLabel_->setText(message_);
    if (!title_.empty()) {
        Size s = sizeWithFont(title_, titleLabel_->font(), Size{inner, 1e6}, LineBreakMode::WordWrap);
        titleLabel_->setFrame({12, y, inner, std::ceil(s.height)});
        y += std::ceil(s.height) + 8;
    } else {
        titleLabel_->setFrame({12, y, inner, 0});
    }
    if (!message_.empty()) {
        Size s = sizeWithFont(message_, messageLabel_->font(), Size{inner, 1e6}, LineBreakMode::WordWrap);
        messageLabel_->setFrame({12, y, inner, std::ceil(s.height)});
        y += std::ceil(s.height) + 8;
    } else {
        messageLabel_->setFrame({12, y, inner, 0});
    }
    for (auto& f : fields_) {
        f->setFrame({kSideMargin + 5, y, kWidth - 2 * (kSideMargin + 5), 31});
        y += 35;
    }
    y += 7;
    int n = int(buttons_.size());
    double full = kWidth - 2 * kSideMargin;
    if (n == 2) {
        double w = (full - 8) / 2;
        // The cancel button goes on the left.
        int left = cancelIndex_ == 1 ? 1 : 0;
        buttons_[left]->setFrame({kSideMargin, y, w, kButtonHeight});
        buttons_[1 - left]->setFrame({kSideMargin + w + 8, y, w, kButtonHeight});
        y += kButtonHeight;
    } else if (n > 0) {
        // One column, the cancel button last.
        std::vector<int> order;
        for (int i = 0; i < n; ++i)
            if (i != cancelIndex_) order.push_back(i);
        if (cancelIndex_ >= 0 && cancelIndex_ < n) order.push_back(cancelIndex_);
        for (size_t k = 0; k < order.size(); ++k) {
            if (k > 0) y += 8;
            buttons_[order[k]]->setFrame({kSideMargin, y, full, kButtonHeight});
            y += kButtonHeight;
        }
    }
    y += kBottomMargin;
    Rect host = hostBounds();
    setFrame(Rect{std::round((host.width() - kWidth) / 2), std::round((host.height() - y) / 2), kWidth, y});
    laidOut_ = true;
}

void AlertView::show() {
    if (!foundation::RunLoop::isMainThread()) {
        auto self = std::static_pointer_cast<AlertView>(shared_from_this());
        foundation::performOnMainThread([self]() { self->show(); });
        return;
    }
    if (visible_) return;
    present();
}

void AlertView::present() {
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    // An alert in front of others hides them until it goes.
    for (auto& a : alerts())
        if (a->dimView_) a->dimView_->setHidden(true);
    if (!laidOut_) layoutAlert();
    visible_ = true;
    alerts().push_back(self);
    if (delegate_) delegate_->willPresentAlertView(this);
    if (!visible_) return;  // dismissed from willPresent
    dimView_ = makeDimView();
    dimView_->addSubview(self);
    if (!fields_.empty()) fields_.front()->becomeFirstResponder();
    didPresentPending_ = true;
    unsigned presentation = ++presentation_;
    std::weak_ptr<View> weak = self;
    foundation::RunLoop::main().post([weak, presentation]() {
        auto a = std::static_pointer_cast<AlertView>(weak.lock());
        if (!a || !a->didPresentPending_ || a->presentation_ != presentation) return;
        a->didPresentPending_ = false;
        if (a->delegate_) a->delegate_->didPresentAlertView(a.get());
    });
}

void AlertView::dismissWithClickedButtonIndex(int index, bool animated) {
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    if (!foundation::RunLoop::isMainThread()) {
        foundation::performOnMainThread(
            [self, index, animated]() { self->dismissWithClickedButtonIndex(index, animated); });
        return;
    }
    if (!visible_) return;
    if (didPresentPending_) {
        didPresentPending_ = false;
        if (delegate_) delegate_->didPresentAlertView(this);
    }
    if (delegate_) delegate_->willDismissWithButtonIndex(this, index);
    for (auto& f : fields_) f->resignFirstResponder();
    visible_ = false;
    removeFromSuperview();
    if (dimView_) dimView_->removeFromSuperview();
    dimView_.reset();
    auto& list = alerts();
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    if (!list.empty() && list.back()->dimView_) list.back()->dimView_->setHidden(false);
    if (delegate_) delegate_->didDismissWithButtonIndex(this, index);
}

void AlertView::clickButtonAtIndex(int index) {
    if (!visible_ || index < 0 || index >= numberOfButtons()) return;
    auto self = shared_from_this();
    if (delegate_) delegate_->clickedButtonAtIndex(this, index);
    dismissWithClickedButtonIndex(index, true);
}

std::vector<AlertView*> AlertView::visibleAlerts() {
    std::vector<AlertView*> v;
    for (auto& a : alerts()) v.push_back(a.get());
    return v;
}

AlertView* AlertView::frontmost() { return alerts().empty() ? nullptr : alerts().back().get(); }

// ---------------------------------------------------------------- ActionSheet

ActionSheet::ActionSheet(const std::string& title, ActionSheetDelegate* delegate, const std::string& cancelButtonTitle,
                         const std::string& destructiveButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : View(Rect{}), title_(title), delegate_(delegate) {
    setBackgroundColor(Color::rgba(0.1, 0.1, 0.12, 0.9));
    titleLabel_ = std::make_shared<Label>(Rect{});
    titleLabel_->setFont(Font::systemFont(13));
    titleLabel_->setTextColor(Color::white(0.8));
    titleLabel_->setBackgroundColor(Color::clearColor());
    titleLabel_->setTextAlignment(TextAlignment::Center);
    titleLabel_->setNumberOfLines(0);
    titleLabel_->setText(title);
    addSubview(titleLabel_);
    if (!destructiveButtonTitle.empty()) destructiveIndex_ = addButtonWithTitle(destructiveButtonTitle);
    for (const auto& t : otherButtonTitles) addButtonWithTitle(t);
    if (!cancelButtonTitle.empty()) cancelIndex_ = addButtonWithTitle(cancelButtonTitle);
}

ActionSheet::~ActionSheet() {
    if (dimView_) dimView_->removeFromSuperview();
}

int ActionSheet::addButtonWithTitle(const std::string& title) {
    int i = int(buttonTitles_.size());
    buttonTitles_.push_back(title);
    auto b = Button::buttonWithType(ButtonType::Custom);
    b->setTitle(title);
    b->titleLabel()->setFont(Font::boldSystemFont(19));
    b->setTitleColor(Color::whiteColor());
    b->layer().setCornerRadius(8);
    b->addTarget(
        this, [this, i](Control*, const Event*) { clickButtonAtIndex(i); }, kControlEventTouchUpInside);
    buttons_.push_back(b);
    addSubview(b);
    return i;
}

std::string ActionSheet::buttonTitleAtIndex(int index) const {
    return index >= 0 && index < int(buttonTitles_.size()) ? buttonTitles_[index] : std::string();
}

int ActionSheet::firstOtherButtonIndex() const {
    for (int i = 0; i < int(buttonTitles_.size()); ++i)
        if (i != cancelIndex_ && i != destructiveIndex_) return i;
    return -1;
}

Button* ActionSheet::buttonAtIndex(int index) const {
    return index >= 0 && index < int(buttons_.size()) ? buttons_[index].get() : nullptr;
}

void ActionSheet::layoutSheet(double width, double windowHeight) {
    double y = 12;
    if (!title_.empty()) {
        Size s = sizeWithFont(title_, titleLabel_->font(), Size{width - 40, 1e6}, LineBreakMode::WordWrap);
        titleLabel_->setFrame({20, y, width - 40, std::ceil(s.height)});
        y += std::ceil(s.height) + 10;
    }
    for (int i = 0; i < int(buttons_.size()); ++i) {
        if (i == cancelIndex_ && i > 0) y += 10;
        Color c = i == destructiveIndex_ ? Color::rgba(0.8, 0.1, 0.1)
                  : i == cancelIndex_    ? Color::white(0.25)
                                         : Color::white(0.85);
        buttons_[i]->setBackgroundColor(c);
        buttons_[i]->setTitleColor(i == destructiveIndex_ || i == cancelIndex_ ? Color::whiteColor()
                                                                               : Color::blackColor());
        buttons_[i]->setFrame({20, y, width - 40, 44});
        y += 44 + 8;
    }
    y += 12;
    setFrame({0, windowHeight - y, width, y});
}

void ActionSheet::showInView(View*) {
    if (!foundation::RunLoop::isMainThread()) {
        auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
        foundation::performOnMainThread([self]() { self->showInView(nullptr); });
        return;
    }
    if (visible_) return;
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    Rect host = hostBounds();
    layoutSheet(host.width(), host.height());
    visible_ = true;
    sheets().push_back(self);
    if (delegate_) delegate_->willPresentActionSheet(this);
    if (!visible_) return;
    dimView_ = makeDimView();
    dimView_->addSubview(self);
    didPresentPending_ = true;
    unsigned presentation = ++presentation_;
    std::weak_ptr<View> weak = self;
    foundation::RunLoop::main().post([weak, presentation]() {
        auto s = std::static_pointer_cast<ActionSheet>(weak.lock());
        if (!s || !s->didPresentPending_ || s->presentation_ != presentation) return;
        s->didPresentPending_ = false;
        if (s->delegate_) s->delegate_->didPresentActionSheet(s.get());
    });
}

void ActionSheet::dismissWithClickedButtonIndex(int index, bool animated) {
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    if (!foundation::RunLoop::isMainThread()) {
        foundation::performOnMainThread(
            [self, index, animated]() { self->dismissWithClickedButtonIndex(index, animated); });
        return;
    }
    if (!visible_) return;
    if (didPresentPending_) {
        didPresentPending_ = false;
        if (delegate_) delegate_->didPresentActionSheet(this);
    }
    if (delegate_) delegate_->willDismissWithButtonIndex(this, index);
    visible_ = false;
    removeFromSuperview();
    if (dimView_) dimView_->removeFromSuperview();
    dimView_.reset();
    auto& list = sheets();
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    if (delegate_) delegate_->didDismissWithButtonIndex(this, index);
}

void ActionSheet::clickButtonAtIndex(int index) {
    if (!visible_ || index < 0 || index >= numberOfButtons()) return;
    auto self = shared_from_this();
    if (delegate_) delegate_->clickedButtonAtIndex(this, index);
    dismissWithClickedButtonIndex(index, true);
}

std::vector<ActionSheet*> ActionSheet::visibleSheets() {
    std::vector<ActionSheet*> v;
    for (auto& s : sheets()) v.push_back(s.get());
    return v;
}

}  // namespace ui
