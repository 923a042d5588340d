#include "lib/engine2d/touch/GxTouchDispatcher.h"

#include <algorithm>

namespace engine2d {

GxStandardTouchHandler::GxStandardTouchHandler(std::shared_ptr<GxStandardTouchDelegate> delegate, int priority)
    : GxTouchHandler(delegate, priority), standard_(delegate.get()) {
    enabledSelectors_ = standard_ ? standard_->gxStandardTouchPhases() & kGxTouchSelectorAllBits : 0;
}

GxTargetedTouchHandler::GxTargetedTouchHandler(std::shared_ptr<GxTargetedTouchDelegate> delegate, int priority,
                                               bool swallowsTouches)
    : GxTouchHandler(delegate, priority), targeted_(delegate.get()), swallowsTouches_(swallowsTouches) {
    claimedTouches_.reserve(2);
    enabledSelectors_ = targeted_ ? targeted_->gxTargetedTouchPhases() & kGxTouchSelectorAllBits : 0;
}

bool GxTargetedTouchHandler::holds(const GxTouch& t) const {
    return std::find(claimedTouches_.begin(), claimedTouches_.end(), t) != claimedTouches_.end();
}

void GxTargetedTouchHandler::claim(const GxTouch& t) {
    if (!holds(t)) claimedTouches_.push_back(t);
}

void GxTargetedTouchHandler::release(const GxTouch& t) {
    claimedTouches_.erase(std::remove(claimedTouches_.begin(), claimedTouches_.end(), t), claimedTouches_.end());
}

GxTouchDispatcher::GxTouchDispatcher() {
    targeted_.reserve(8);
    standard_.reserve(4);
    handlersToAdd_.reserve(8);
    handlersToRemove_.reserve(8);
}

template <class H>
void GxTouchDispatcher::forceAddHandler(const std::shared_ptr<H>& h, std::vector<std::shared_ptr<H>>& array) {
    // Ahead of the handlers that already have the same priority.
    size_t i = 0;
    for (const auto& other : array)
        if (other->priority() < h->priority()) ++i;
    array.insert(array.begin() + std::ptrdiff_t(i), h);
}

void GxTouchDispatcher::addStandardDelegate(std::shared_ptr<GxStandardTouchDelegate> delegate, int priority) {
    if (!delegate) return;
    auto h = std::make_shared<GxStandardTouchHandler>(std::move(delegate), priority);
    if (!locked_) {
        forceAddHandler(h, standard_);
    } else {
        handlersToAdd_.push_back(h);
        toAdd_ = true;
    }
}

void GxTouchDispatcher::addTargetedDelegate(std::shared_ptr<GxTargetedTouchDelegate> delegate, int priority,
                                            bool swallowsTouches) {
    if (!delegate) return;
    auto h = std::make_shared<GxTargetedTouchHandler>(std::move(delegate), priority, swallowsTouches);
    if (!locked_) {
        forceAddHandler(h, targeted_);
    } else {
        handlersToAdd_.push_back(h);
        toAdd_ = true;
    }
}

void GxTouchDispatcher::forceRemoveDelegate(const GxTouchReceiver* delegate) {
    auto t = std::find_if(targeted_.begin(), targeted_.end(),
                          [&](const auto& h) { return h->delegate().get() == delegate; });
    if (t != targeted_.end()) targeted_.erase(t);
    auto s = std::find_if(standard_.begin(), standard_.end(),
                          [&](const auto& h) { return h->delegate().get() == delegate; });
    if (s != standard_.end()) standard_.erase(s);
}

void GxTouchDispatcher::removeDelegate(const GxTouchReceiver* delegate) {
    if (!delegate) return;
    if (!locked_) {
        forceRemoveDelegate(delegate);
    } else {
        handlersToRemove_.push_back(delegate);
        toRemove_ = true;
    }
}

void GxTouchDispatcher::forceRemoveAllDelegates() {
    standard_.clear();
    targeted_.clear();
}

void GxTouchDispatcher::removeAllDelegates() {
    if (!locked_)
        forceRemoveAllDelegates();
    else
        toQuit_ = true;
}

std::shared_ptr<GxTouchHandler> GxTouchDispatcher::findHandler(const GxTouchReceiver* delegate) const {
    for (const auto& h : targeted_)
        if (h->delegate().get() == delegate) return h;
    for (const auto& h : standard_)
        if (h->delegate().get() == delegate) return h;
    if (toAdd_)
        for (const auto& h : handlersToAdd_)
            if (h->delegate().get() == delegate) return h;
    return nullptr;
}

void GxTouchDispatcher::rearrangeHandlers() {
    auto byPriority = [](const auto& a, const auto& b) { return a->priority() < b->priority(); };
    std::stable_sort(targeted_.begin(), targeted_.end(), byPriority);
    std::stable_sort(standard_.begin(), standard_.end(), byPriority);
}

void GxTouchDispatcher::setPriority(int priority, const GxTouchReceiver* delegate) {
    if (auto h = findHandler(delegate)) h->setPriority(priority);
    if (locked_)
        toResort_ = true;
    else
        rearrangeHandlers();
}

void GxTouchDispatcher::touchesBegan(const ui::TouchSet& t, const ui::Event& e) {
    if (dispatchEvents_) touches(t, e, kGxTouchBegan);
}
void GxTouchDispatcher::touchesMoved(const ui::TouchSet& t, const ui::Event& e) {
    if (dispatchEvents_) touches(t, e, kGxTouchMoved);
}
void GxTouchDispatcher::touchesEnded(const ui::TouchSet& t, const ui::Event& e) {
    if (dispatchEvents_) touches(t, e, kGxTouchEnded);
}
void GxTouchDispatcher::touchesCancelled(const ui::TouchSet& t, const ui::Event& e) {
    if (dispatchEvents_) touches(t, e, kGxTouchCancelled);
}

void GxTouchDispatcher::touches(const ui::TouchSet& set, const ui::Event& event, unsigned phase) {
    if (phase > kGxTouchCancelled) return;
    // A dispatch started from inside a callback would walk arrays whose
    // changes are queued for the outer one; it is served the same way.
    const bool outer = !locked_;
    locked_ = true;
    const int bit = 1 << phase;
    const bool both = !targeted_.empty() && !standard_.empty();
    GxTouchSet working = set;

    if (!targeted_.empty()) {
        for (const GxTouch& touch : set) {
            for (size_t i = 0; i < targeted_.size(); ++i) {
                // Held across the call: the handler stays whatever the callback does.
                std::shared_ptr<GxTargetedTouchHandler> h = targeted_[i];
                bool claimed = false;
                if (phase == kGxTouchBegan) {
                    if (!h->targetedDelegate()->gxTouchBegan(touch, event)) continue;
                    h->claim(touch);
                    claimed = true;
                } else if (h->holds(touch)) {
                    claimed = true;
                    if (h->enabledSelectors() & bit) {
                        auto* d = h->targetedDelegate();
                        if (phase == kGxTouchMoved)
                            d->gxTouchMoved(touch, event);
                        else if (phase == kGxTouchEnded)
                            d->gxTouchEnded(touch, event);
                        else
                            d->gxTouchCancelled(touch, event);
                    }
                    if (phase == kGxTouchEnded || phase == kGxTouchCancelled) h->release(touch);
                }
                if (claimed && h->swallowsTouches()) {
                    if (both) working.erase(std::remove(working.begin(), working.end(), touch), working.end());
                    break;
                }
            }
        }
    }

    if (!standard_.empty() && !working.empty()) {
        for (size_t i = 0; i < standard_.size(); ++i) {
            std::shared_ptr<GxStandardTouchHandler> h = standard_[i];
            if (!(h->enabledSelectors() & bit)) continue;
            auto* d = h->standardDelegate();
            switch (phase) {
                case kGxTouchBegan:
                    d->gxTouchesBegan(working, event);
                    break;
                case kGxTouchMoved:
                    d->gxTouchesMoved(working, event);
                    break;
                case kGxTouchEnded:
                    d->gxTouchesEnded(working, event);
                    break;
                default:
                    d->gxTouchesCancelled(working, event);
                    break;
            }
        }
    }
    if (!outer) return;
    locked_ = false;

    if (toAdd_) {
        toAdd_ = false;
        auto adds = std::move(handlersToAdd_);
        handlersToAdd_.clear();
        for (auto& h : adds) {
            if (auto t = std::dynamic_pointer_cast<GxTargetedTouchHandler>(h))
                forceAddHandler(t, targeted_);
            else if (auto s = std::dynamic_pointer_cast<GxStandardTouchHandler>(h))
                forceAddHandler(s, standard_);
        }
    }
    if (toRemove_) {
        toRemove_ = false;
        auto removes = std::move(handlersToRemove_);
        handlersToRemove_.clear();
        for (auto* d : removes) forceRemoveDelegate(d);
    }
    if (toQuit_) {
        toQuit_ = false;
        forceRemoveAllDelegates();
    }
    if (toResort_) {
        toResort_ = false;
        rearrangeHandlers();
    }
}

}  // namespace engine2d
