#include "platform/ui/Modal.h"

#include <algorithm>

#include "platform/foundation/Assert.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ui {

std::vector<View*> ModalStack::views() const {
    std::vector<View*> out;
    for (const auto& e : entries_) out.push_back(e.view.get());
    return out;
}

View* ModalStack::front() const { return entries_.empty() ? nullptr : entries_.back().view.get(); }

void ModalStack::push(const std::shared_ptr<View>& view, ModalPresentation* presentation) {
    if (hidesOlder_) {
        for (auto& e : entries_) e.presentation->setDimHidden(true);
    }
    entries_.push_back(Entry{view, presentation});
}

void ModalStack::remove(const View* view) {
    entries_.erase(
        std::remove_if(entries_.begin(), entries_.end(), [view](const Entry& e) { return e.view.get() == view; }),
        entries_.end());
    if (hidesOlder_ && !entries_.empty()) entries_.back().presentation->setDimHidden(false);
}

Rect ModalPresentation::hostBounds() {
    if (Window* w = Window::keyWindow()) return w->bounds();
    return Screen::main().bounds();
}

ModalPresentation::~ModalPresentation() {
    if (dimView_) dimView_->removeFromSuperview();
}

void ModalPresentation::setDimHidden(bool hidden) {
    if (dimView_) dimView_->setHidden(hidden);
}

bool ModalPresentation::present(const std::shared_ptr<View>& view, const std::function<void()>& willPresent,
                                std::function<void()> didPresent) {
    QUENTA_ASSERT_MAIN_THREAD();
    if (visible_) return false;
    visible_ = true;
    stack_.push(view, this);
    if (willPresent) willPresent();
    if (!visible_) return false;  // dismissed from willPresent

    dimView_ = std::make_shared<View>(hostBounds());
    dimView_->setBackgroundColor(Color::white(0, 0.4));
    dimView_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
    if (Window* w = Window::keyWindow()) w->addSubview(dimView_);
    dimView_->addSubview(view);

    didPresent_ = std::move(didPresent);
    unsigned presentation = ++presentation_;
    std::weak_ptr<View> weak = view;
    foundation::postToMain([this, weak, presentation] {
        auto alive = weak.lock();  // keeps this presentation (a member of the view) alive
        if (!alive || presentation_ != presentation || !didPresent_) return;
        auto call = std::move(didPresent_);
        didPresent_ = nullptr;
        call();
    });
    return true;
}

bool ModalPresentation::dismiss(const std::shared_ptr<View>& view, const std::function<void()>& willDismiss,
                                const std::function<void()>& didDismiss) {
    QUENTA_ASSERT_MAIN_THREAD();
    if (!visible_) return false;
    if (didPresent_) {
        auto call = std::move(didPresent_);
        didPresent_ = nullptr;
        call();
    }
    if (willDismiss) willDismiss();
    visible_ = false;
    view->removeFromSuperview();
    if (dimView_) dimView_->removeFromSuperview();
    dimView_.reset();
    stack_.remove(view.get());  // may drop the last reference but `view`
    if (didDismiss) didDismiss();
    return true;
}

}  // namespace ui
