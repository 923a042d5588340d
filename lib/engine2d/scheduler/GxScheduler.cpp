#include "lib/engine2d/scheduler/GxScheduler.h"

#include <cstdio>

namespace engine2d {

std::shared_ptr<GxTimer> GxTimer::timerWithTarget(GxTargetRef target, std::string selector, GxTickFunction fn,
                                                  float interval, unsigned repeat, float delay) {
    std::shared_ptr<GxTimer> t(new GxTimer());
    t->target_ = target.get();
    t->selector_ = std::move(selector);
    t->fn_ = std::move(fn);
    t->elapsed_ = -1;
    t->interval_ = interval;
    t->repeat_ = repeat;
    t->delay_ = delay;
    t->useDelay_ = delay > 0;
    t->runForever_ = repeat == kGxRepeatForever;
    return t;
}

void GxTimer::update(float dt) {
    if (elapsed_ == -1) {
        elapsed_ = 0;
        nTimesExecuted_ = 0;
        return;
    }
    elapsed_ += dt;
    if (runForever_ && !useDelay_) {
        if (elapsed_ >= interval_) {
            if (fn_) fn_(elapsed_);
            elapsed_ = 0;
        }
        return;
    }
    if (useDelay_) {
        if (elapsed_ >= delay_) {
            if (fn_) fn_(elapsed_);
            elapsed_ = elapsed_ - delay_;
            nTimesExecuted_ += 1;
            useDelay_ = false;
        }
    } else if (elapsed_ >= interval_) {
        if (fn_) fn_(elapsed_);
        elapsed_ = 0;
        nTimesExecuted_ += 1;
    }
    // Unschedule on the scheduler that owns this timer, not some other one.
    if (nTimesExecuted_ > repeat_ && owner_) owner_->unscheduleSelector(selector_, target_);
}

std::string GxTimer::description() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "<GxTimer = %p | target:%p selector:(%s)>", static_cast<const void*>(this), target_,
                  selector_.c_str());
    return buf;
}

GxScheduler::~GxScheduler() { unscheduleAllSelectors(); }

std::string GxScheduler::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<GxScheduler = %p | timeScale = %0.2f >", static_cast<const void*>(this),
                  double(timeScale_));
    return buf;
}

void GxScheduler::scheduleSelector(const std::string& selector, GxTargetRef target, GxTickFunction fn, float interval,
                                   bool paused, unsigned repeat, float delay) {
    if (!target) return;
    const void* key = target.get();
    auto found = hashForSelectors_.find(key);
    SelectorList::iterator it;
    if (found == hashForSelectors_.end()) {
        SelectorEntry e;
        e.target = target;
        e.paused = paused;
        e.timers.reserve(10);
        selectors_.push_back(std::move(e));
        it = std::prev(selectors_.end());
        hashForSelectors_[key] = it;
    } else {
        it = found->second;
        for (auto& t : it->timers)
            if (t->selector_ == selector) {
                t->interval_ = interval;
                return;
            }
    }
    auto timer = GxTimer::timerWithTarget(std::move(target), selector, std::move(fn), interval, repeat, delay);
    timer->owner_ = this;
    it->timers.push_back(std::move(timer));
}

void GxScheduler::unscheduleSelector(const std::string& selector, const void* target) {
    if (!target) return;
    auto found = hashForSelectors_.find(target);
    if (found == hashForSelectors_.end()) return;
    auto it = found->second;
    auto& timers = it->timers;
    for (unsigned i = 0; i < timers.size(); ++i) {
        if (timers[i]->selector_ != selector) continue;
        // The tick holds its own reference to the timer it is calling, so
        // removing it here cannot free it under its own call.
        timers.erase(timers.begin() + i);
        if (it->timerIndex >= i) it->timerIndex--;  // unsigned: wraps from 0, the tick's ++ brings it back
        if (timers.empty()) {
            if (currentTarget_ == &*it)
                currentTargetSalvaged_ = true;
            else
                removeSelectorEntry(it);
        }
        return;
    }
}

void GxScheduler::removeSelectorEntry(SelectorList::iterator it) {
    hashForSelectors_.erase(it->target.get());
    selectors_.erase(it);
}

void GxScheduler::scheduleUpdateForTarget(GxTargetRef target, GxTickFunction update, int priority, bool paused) {
    if (!target) return;
    const void* key = target.get();
    auto found = hashForUpdates_.find(key);
    if (found != hashForUpdates_.end()) {
        found->second.entry->markedForDeletion = false;
        return;
    }
    UpdateList* list = priority == 0 ? &updates0_ : priority < 0 ? &updatesNeg_ : &updatesPos_;
    ListEntry e{std::move(update), key, priority, paused, false};
    UpdateList::iterator at = list->end();
    if (priority != 0)
        for (auto i = list->begin(); i != list->end(); ++i)
            if (i->priority > priority) {
                at = i;
                break;
            }
    auto entry = list->insert(at, std::move(e));
    hashForUpdates_[key] = HashUpdateEntry{list, entry, std::move(target)};
}

void GxScheduler::removeUpdateEntry(const void* target) {
    auto found = hashForUpdates_.find(target);
    if (found == hashForUpdates_.end()) return;
    found->second.list->erase(found->second.entry);
    hashForUpdates_.erase(found);
}

void GxScheduler::unscheduleUpdateForTarget(const void* target) {
    if (!target) return;
    auto found = hashForUpdates_.find(target);
    if (found == hashForUpdates_.end()) return;
    if (updateHashLocked_)
        found->second.entry->markedForDeletion = true;
    else
        removeUpdateEntry(target);
}

void GxScheduler::unscheduleAllSelectorsForTarget(const void* target) {
    if (!target) return;
    auto found = hashForSelectors_.find(target);
    if (found != hashForSelectors_.end()) {
        auto it = found->second;
        it->timers.clear();
        if (currentTarget_ == &*it)
            currentTargetSalvaged_ = true;
        else
            removeSelectorEntry(it);
    }
    unscheduleUpdateForTarget(target);
}

void GxScheduler::unscheduleAllSelectors() { unscheduleAllSelectorsWithMinPriority(int(0x80000000u)); }

void GxScheduler::unscheduleAllSelectorsWithMinPriority(int minPriority) {
    for (auto it = selectors_.begin(); it != selectors_.end();) {
        auto next = std::next(it);
        unscheduleAllSelectorsForTarget(it->target.get());
        it = next;
    }
    auto sweep = [&](UpdateList& list, bool all) {
        for (auto it = list.begin(); it != list.end();) {
            auto next = std::next(it);
            if (all || it->priority >= minPriority) unscheduleUpdateForTarget(it->target);
            it = next;
        }
    };
    if (minPriority < 0) sweep(updatesNeg_, false);
    if (minPriority <= 0) sweep(updates0_, true);
    sweep(updatesPos_, false);
}

void GxScheduler::pauseTarget(const void* target) {
    if (auto f = hashForSelectors_.find(target); f != hashForSelectors_.end()) f->second->paused = true;
    if (auto f = hashForUpdates_.find(target); f != hashForUpdates_.end()) f->second.entry->paused = true;
}

void GxScheduler::resumeTarget(const void* target) {
    if (auto f = hashForSelectors_.find(target); f != hashForSelectors_.end()) f->second->paused = false;
    if (auto f = hashForUpdates_.find(target); f != hashForUpdates_.end()) f->second.entry->paused = false;
}

bool GxScheduler::isTargetPaused(const void* target) const {
    auto f = hashForSelectors_.find(target);
    return f != hashForSelectors_.end() && f->second->paused;
}

std::vector<GxTargetRef> GxScheduler::pauseAllTargets() { return pauseAllTargetsWithMinPriority(int(0x80000000u)); }

std::vector<GxTargetRef> GxScheduler::pauseAllTargetsWithMinPriority(int minPriority) {
    std::vector<GxTargetRef> out;
    auto add = [&](const GxTargetRef& t) {
        for (auto& o : out)
            if (o == t) return;
        out.push_back(t);
    };
    for (auto& e : selectors_) {
        e.paused = true;
        add(e.target);
    }
    auto sweep = [&](UpdateList& list, bool all) {
        for (auto& e : list)
            if (all || e.priority >= minPriority) {
                e.paused = true;
                add(hashForUpdates_.at(e.target).target);
            }
    };
    if (minPriority < 0) sweep(updatesNeg_, false);
    if (minPriority <= 0) sweep(updates0_, true);
    sweep(updatesPos_, false);
    return out;
}

void GxScheduler::resumeTargets(const std::vector<GxTargetRef>& targets) {
    for (auto& t : targets) resumeTarget(t.get());
}

bool GxScheduler::hasUpdateFor(const void* target) const {
    auto f = hashForUpdates_.find(target);
    return f != hashForUpdates_.end() && !f->second.entry->markedForDeletion;
}

size_t GxScheduler::timerCountFor(const void* target) const {
    auto f = hashForSelectors_.find(target);
    return f == hashForSelectors_.end() ? 0 : f->second->timers.size();
}

void GxScheduler::update(float dt) {
    updateHashLocked_ = true;
    if (timeScale_ != 1.0f) dt *= timeScale_;

    for (UpdateList* list : {&updatesNeg_, &updates0_, &updatesPos_}) {
        for (auto it = list->begin(); it != list->end();) {
            auto next = std::next(it);
            if (!it->paused && !it->markedForDeletion) {
                auto fn = it->update;  // the entry may be revived or marked meanwhile, never erased
                fn(dt);
            }
            it = next;
        }
    }

    for (auto it = selectors_.begin(); it != selectors_.end();) {
        currentTarget_ = &*it;
        currentTargetSalvaged_ = false;
        if (!it->paused) {
            for (it->timerIndex = 0; it->timerIndex < it->timers.size(); ++it->timerIndex) {
                std::shared_ptr<GxTimer> timer = it->timers[it->timerIndex];  // held across its own call
                it->currentTimer = timer.get();
                timer->update(dt);
                it->currentTimer = nullptr;
            }
        }
        auto next = std::next(it);
        if (currentTargetSalvaged_ && it->timers.empty()) removeSelectorEntry(it);
        it = next;
    }

    for (UpdateList* list : {&updatesNeg_, &updates0_, &updatesPos_})
        for (auto it = list->begin(); it != list->end();) {
            auto next = std::next(it);
            if (it->markedForDeletion) removeUpdateEntry(it->target);
            it = next;
        }

    updateHashLocked_ = false;
    currentTarget_ = nullptr;
}

}  // namespace engine2d
