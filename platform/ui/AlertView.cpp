#include "platform/ui/AlertView.h"

#include <algorithm>

#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Modal.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Text.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
// Shown alerts stack with only the front one visible; sheets simply stack.
// Between tests, what is still up goes without calling its delegate: that
// may be gone.
template <class Modal>
void dismissAllOf(ModalStack& stack) {
    while (!stack.empty()) {
        auto* modal = static_cast<Modal*>(stack.front());
        modal->setDelegate(nullptr);
        modal->dismissWithClickedButtonIndex(-1, false);
        if (!stack.empty() && stack.front() == modal) break;  // it cannot leave: stop rather than spin
    }
}
ModalStack& alerts() {
    static ModalStack* stack = new ModalStack(true);  // holds views: never destroyed at exit
    static const bool registered = (foundation::registerResetter("ui.alerts", foundation::ResetPhase::Presentation,
                                                                 [] { dismissAllOf<AlertView>(*stack); }),
                                    true);
    (void)registered;
    return *stack;
}
ModalStack& sheets() {
    static ModalStack* stack = new ModalStack(false);
    static const bool registered =
        (foundation::registerResetter("ui.actionSheets", foundation::ResetPhase::Presentation,
                                      [] { dismissAllOf<ActionSheet>(*stack); }),
         true);
    (void)registered;
    return *stack;
}

Rect hostBounds() { return ModalPresentation::hostBounds(); }

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
    : View(Rect{0, 0, kWidth, 0}), title_(title), message_(message), delegate_(delegate), modal_(alerts()) {
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

AlertView::~AlertView() = default;

void AlertView::setTitle(const std::string& t) {
    title_ = t;
    if (isVisible()) layoutAlert();
}

void AlertView::setMessage(const std::string& m) {
    message_ = m;
    if (isVisible()) layoutAlert();
}

void AlertView::setAlertViewStyle(AlertViewStyle s) {
    style_ = s;
    rebuildFields();
    if (isVisible()) layoutAlert();
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
    if (isVisible()) layoutAlert();
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
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    foundation::performOnMainThread([self] { self->present(); });
}

void AlertView::present() {
    if (modal_.isVisible()) return;
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    if (!laidOut_) layoutAlert();
    bool shown = modal_.present(
        self,
        [this] {
            if (auto* d = delegate()) d->willPresentAlertView(this);
        },
        [this] {
            if (auto* d = delegate()) d->didPresentAlertView(this);
        });
    if (shown && !fields_.empty()) fields_.front()->becomeFirstResponder();
}

void AlertView::dismissWithClickedButtonIndex(int index, bool animated) {
    auto self = std::static_pointer_cast<AlertView>(shared_from_this());
    foundation::performOnMainThread([self, index, animated] {
        (void)animated;
        self->modal_.dismiss(
            self,
            [&] {
                if (auto* d = self->delegate()) d->willDismissWithButtonIndex(self.get(), index);
                for (auto& f : self->fields_) f->resignFirstResponder();
            },
            [&] {
                if (auto* d = self->delegate()) d->didDismissWithButtonIndex(self.get(), index);
            });
    });
}

void AlertView::clickButtonAtIndex(int index) {
    if (!isVisible() || index < 0 || index >= numberOfButtons()) return;
    auto self = shared_from_this();
    if (auto* d = delegate()) d->clickedButtonAtIndex(this, index);
    dismissWithClickedButtonIndex(index, true);
}

std::vector<AlertView*> AlertView::visibleAlerts() {
    std::vector<AlertView*> v;
    for (View* a : alerts().views()) v.push_back(static_cast<AlertView*>(a));
    return v;
}

AlertView* AlertView::frontmost() { return static_cast<AlertView*>(alerts().front()); }

// ---------------------------------------------------------------- ActionSheet

ActionSheet::ActionSheet(const std::string& title, ActionSheetDelegate* delegate, const std::string& cancelButtonTitle,
                         const std::string& destructiveButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : View(Rect{}), title_(title), delegate_(delegate), modal_(sheets()) {
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

ActionSheet::~ActionSheet() = default;

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
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    foundation::performOnMainThread([self] {
        if (self->modal_.isVisible()) return;
        Rect host = hostBounds();
        self->layoutSheet(host.width(), host.height());
        ActionSheet* sheet = self.get();
        self->modal_.present(
            self,
            [sheet] {
                if (auto* d = sheet->delegate()) d->willPresentActionSheet(sheet);
            },
            [sheet] {
                if (auto* d = sheet->delegate()) d->didPresentActionSheet(sheet);
            });
    });
}

void ActionSheet::dismissWithClickedButtonIndex(int index, bool animated) {
    auto self = std::static_pointer_cast<ActionSheet>(shared_from_this());
    foundation::performOnMainThread([self, index, animated] {
        (void)animated;
        ActionSheet* sheet = self.get();
        self->modal_.dismiss(
            self,
            [&] {
                if (auto* d = sheet->delegate()) d->willDismissWithButtonIndex(sheet, index);
            },
            [&] {
                if (auto* d = sheet->delegate()) d->didDismissWithButtonIndex(sheet, index);
            });
    });
}

void ActionSheet::clickButtonAtIndex(int index) {
    if (!isVisible() || index < 0 || index >= numberOfButtons()) return;
    auto self = shared_from_this();
    if (auto* d = delegate()) d->clickedButtonAtIndex(this, index);
    dismissWithClickedButtonIndex(index, true);
}

std::vector<ActionSheet*> ActionSheet::visibleSheets() {
    std::vector<ActionSheet*> v;
    for (View* sheet : sheets().views()) v.push_back(static_cast<ActionSheet*>(sheet));
    return v;
}

}  // namespace ui
