#include "lib/engine2d/actionmanager/GxActionManager.h"

#include <cstdio>

namespace engine2d {

GxActionManager::~GxActionManager() { removeAllActions(); }

std::string GxActionManager::description() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "<GxActionManager = %p>", static_cast<const void*>(this));
    return buf;
}

GxActionManager::Element* GxActionManager::find(const GxNode* target) {
    auto it = index_.find(target);
    return it == index_.end() ? nullptr : &*it->second;
}

const GxActionManager::Element* GxActionManager::find(const GxNode* target) const {
    auto it = index_.find(target);
    return it == index_.end() ? nullptr : &*it->second;
}

void GxActionManager::addAction(const GxActionRef& action, const std::shared_ptr<GxNode>& target, bool paused) {
    if (!action || !target) return;
    Element* e = find(target.get());
    if (!e) {
        elements_.emplace_back();
        auto it = std::prev(elements_.end());
        it->paused = paused;
        it->target = target;
        index_.emplace(target.get(), it);
        e = &*it;
    }
    if (e->actions.capacity() == 0) e->actions.reserve(4);
    e->actions.push_back(action);
    action->startWithTarget(target.get());
}

void GxActionManager::removeActionAtIndex(size_t index, Element& e) {
    // The caller of the action's step holds it until the step returns.
    if (e.actions[index].get() == e.currentAction && !e.currentActionSalvaged) e.currentActionSalvaged = true;
    GxActionRef gone = std::move(e.actions[index]);
    e.actions.erase(e.actions.begin() + long(index));
    // The update loop goes on with the action that followed.
    if (e.actionIndex >= int(index)) e.actionIndex--;
    if (e.actions.empty()) {
        if (&e == currentTarget_)
            currentTargetSalvaged_ = true;
        else
            deleteElement(e.target.get());
    }
}

void GxActionManager::deleteElement(const GxNode* target) {
    auto it = index_.find(target);
    if (it == index_.end()) return;
    // Actions and the target are released after the element left the table,
    // so whatever their destructors do sees a consistent manager.
    Element gone = std::move(*it->second);
    elements_.erase(it->second);
    index_.erase(it);
}

void GxActionManager::removeAllActions() {
    for (auto it = elements_.begin(); it != elements_.end();) {
        auto next = std::next(it);
        // The current element is only marked; it stays in the list.
        removeAllActionsFromTarget(it->target.get());
        it = next;
    }
}

void GxActionManager::removeAllActionsFromTarget(const GxNode* target) {
    if (!target) return;
    Element* e = find(target);
    if (!e) return;
    if (e->currentAction && !e->currentActionSalvaged) {
        for (auto& a : e->actions)
            if (a.get() == e->currentAction) e->currentActionSalvaged = true;
    }
    std::vector<GxActionRef> gone;
    gone.swap(e->actions);
    if (e == currentTarget_) {
        currentTargetSalvaged_ = true;
        // The loop re-reads the (now empty) array and ends.
        e->actionIndex = -1;
    } else {
        deleteElement(target);
    }
    // `gone` releases the actions last to first.
    while (!gone.empty()) gone.pop_back();
}

void GxActionManager::removeAction(const GxAction* action) {
    if (!action) return;
    removeAction(action, action->originalTarget());
}

void GxActionManager::removeAction(const GxAction* action, const GxNode* target) {
    if (!action || !target) return;
    Element* e = find(target);
    if (!e) return;
    for (size_t i = 0; i < e->actions.size(); ++i)
        if (e->actions[i].get() == action) {
            removeActionAtIndex(i, *e);
            return;
        }
}

void GxActionManager::removeActionByTag(int tag, const GxNode* target) {
    Element* e = find(target);
    if (!e) return;
    for (size_t i = 0; i < e->actions.size(); ++i) {
        auto& a = e->actions[i];
        if (a->tag() == tag && a->originalTarget() == target) {
            removeActionAtIndex(i, *e);
            return;
        }
    }
}

GxActionRef GxActionManager::getActionByTag(int tag, const GxNode* target) const {
    const Element* e = find(target);
    if (!e) return nullptr;
    for (auto& a : e->actions)
        if (a->tag() == tag) return a;
    return nullptr;
}

unsigned GxActionManager::numberOfRunningActionsInTarget(const GxNode* target) const {
    const Element* e = find(target);
    return e ? unsigned(e->actions.size()) : 0;
}

void GxActionManager::pauseTarget(const GxNode* target) {
    if (Element* e = find(target)) e->paused = true;
}

void GxActionManager::resumeTarget(const GxNode* target) {
    if (Element* e = find(target)) e->paused = false;
}

bool GxActionManager::isTargetPaused(const GxNode* target) const {
    const Element* e = find(target);
    return e && e->paused;
}

std::vector<std::shared_ptr<GxNode>> GxActionManager::pauseAllRunningActions() {
    std::vector<std::shared_ptr<GxNode>> paused;
    paused.reserve(50);
    for (auto& e : elements_)
        if (!e.paused) {
            e.paused = true;
            paused.push_back(e.target);
        }
    return paused;
}

void GxActionManager::resumeTargets(const std::vector<std::shared_ptr<GxNode>>& targets) {
    for (auto& t : targets) resumeTarget(t.get());
}

void GxActionManager::update(float dt) {
    for (auto it = elements_.begin(); it != elements_.end();) {
        Element& e = *it;
        currentTarget_ = &e;
        currentTargetSalvaged_ = false;
        // The node stays alive through its turn whatever its actions do.
        std::shared_ptr<GxNode> keepTarget = e.target;
        if (!e.paused) {
            // The count is re-read every round: actions may be added or
            // removed during a step.
            for (e.actionIndex = 0; e.actionIndex < int(e.actions.size()); e.actionIndex++) {
                GxActionRef action = e.actions[size_t(e.actionIndex)];
                e.currentAction = action.get();
                e.currentActionSalvaged = false;
                action->step(dt);
                if (!e.currentActionSalvaged && action->isDone()) {
                    action->stop();
                    e.currentAction = nullptr;
                    // By identity in this element: an action may work on a
                    // node other than the one it was run on.
                    for (size_t i = 0; i < e.actions.size(); ++i)
                        if (e.actions[i] == action) {
                            removeActionAtIndex(i, e);
                            break;
                        }
                }
                e.currentAction = nullptr;
            }
        }
        auto next = std::next(it);
        if (currentTargetSalvaged_ && e.actions.empty()) deleteElement(e.target.get());
        currentTarget_ = nullptr;
        it = next;
    }
    currentTarget_ = nullptr;
}

}  // namespace engine2d
