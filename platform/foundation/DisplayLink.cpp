#include "platform/foundation/DisplayLink.h"

#include <algorithm>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Resetters.h"

namespace foundation {

FrameClock& FrameClock::main() {
    static FrameClock* clock = [] {
        auto* c = new FrameClock();  // lives as long as the process
        // Links a case leaves attached stop refreshing; the clock drives itself again.
        registerResetter("foundation.frameClock", ResetPhase::SharedObject, [c] {
            c->links_.clear();
            c->external_ = false;
            c->updateTimer();
        });
        return c;
    }();
    return *clock;
}

void FrameClock::tick(double timestamp) {
    ++refreshes_;
    // Copy first: a target may attach or invalidate links while it runs.
    std::vector<std::shared_ptr<DisplayLink>> live;
    for (auto& w : links_)
        if (auto l = w.lock()) live.push_back(std::move(l));
    for (auto& l : live) l->tick(timestamp);
}

void FrameClock::setExternallyDriven(bool external) {
    external_ = external;
    updateTimer();
}

size_t FrameClock::activeLinkCount() const {
    size_t n = 0;
    for (auto& w : links_)
        if (auto l = w.lock(); l && l->isValid()) ++n;
    return n;
}

void FrameClock::attach(const std::shared_ptr<DisplayLink>& link) {
    links_.push_back(link);
    updateTimer();
}

void FrameClock::detach(const DisplayLink* link) {
    std::erase_if(links_, [link](const std::weak_ptr<DisplayLink>& w) {
        auto l = w.lock();
        return !l || l.get() == link;
    });
    updateTimer();
}

void FrameClock::updateTimer() {
    std::erase_if(links_, [](const std::weak_ptr<DisplayLink>& w) { return w.expired(); });
    bool want = !external_ && !links_.empty();
    if (want && !timer_) {
        timer_ = RunLoop::main().addTimer(
            kRefreshInterval, kRefreshInterval, [this](Timer&) { tick(clock().monotonic()); }, kCommonModes);
    } else if (!want && timer_) {
        timer_->invalidate();
        timer_.reset();
    }
}

std::shared_ptr<DisplayLink> DisplayLink::create(Target target) {
    return std::shared_ptr<DisplayLink>(new DisplayLink(std::move(target)));
}

DisplayLink::~DisplayLink() {
    if (attached_) FrameClock::main().detach(this);
}

void DisplayLink::addToRunLoop(RunLoop& loop, const std::string& mode) {
    if (!valid_ || attached_) return;
    loop_ = &loop;
    mode_ = mode;
    attached_ = true;
    FrameClock::main().attach(shared_from_this());
}

void DisplayLink::invalidate() {
    if (!valid_) return;
    valid_ = false;
    target_ = nullptr;
    if (attached_) {
        attached_ = false;
        FrameClock::main().detach(this);
    }
}

void DisplayLink::tick(double timestamp) {
    if (!valid_ || paused_) return;
    if (++skipped_ < frameInterval_) return;
    skipped_ = 0;
    auto deliver = [self = shared_from_this(), timestamp] {
        if (!self->valid_ || !self->target_) return;
        self->timestamp_ = timestamp;
        auto target = self->target_;  // the target may invalidate the link
        target(*self);
    };
    if (!loop_ || loop_->isCurrent())
        deliver();
    else
        loop_->post(deliver, mode_);
}

}  // namespace foundation
