#pragma once
// The action manager: the running actions of every node, stepped once a
// frame (the director schedules update() before every other update).
// Targets are stepped in the order they got their first action, and each
// target's actions in the order they were run.
//
// Actions may run, stop or remove any action (their own, or every action of
// their own node) from inside their step: an action removed during its own
// step stays alive until the step returns and is never stepped twice, and
// the element of the node being stepped lives until the end of its turn.
//
// The manager keeps every node that has actions alive until its last action
// is removed.

#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/engine2d/actionmanager/GxAction.h"

namespace engine2d {

class GxActionManager {
public:
    GxActionManager() = default;
    ~GxActionManager();
    GxActionManager(const GxActionManager&) = delete;
    GxActionManager& operator=(const GxActionManager&) = delete;
    std::string description() const;

    // Appends the action to the target's actions and starts it. `paused`
    // applies only to a target that has no actions yet.
    void addAction(const GxActionRef& action, const std::shared_ptr<GxNode>& target, bool paused);

    // Removal never stops the action (only finishing does).
    void removeAllActions();
    void removeAllActionsFromTarget(const GxNode* target);
    // Looks the action up among its original target's actions.
    void removeAction(const GxAction* action);
    // Looks the action up among the given target's actions (an action run
    // on one node may work on another).
    void removeAction(const GxAction* action, const GxNode* target);
    // The first action of the target with the tag, only that one.
    void removeActionByTag(int tag, const GxNode* target);
    GxActionRef getActionByTag(int tag, const GxNode* target) const;
    unsigned numberOfRunningActionsInTarget(const GxNode* target) const;

    void pauseTarget(const GxNode* target);
    void resumeTarget(const GxNode* target);
    bool isTargetPaused(const GxNode* target) const;
    // Pauses every target not paused yet and returns them.
    std::vector<std::shared_ptr<GxNode>> pauseAllRunningActions();
    void resumeTargets(const std::vector<std::shared_ptr<GxNode>>& targets);

    // The per-frame step.
    void update(float dt);

    size_t targetCount() const { return index_.size(); }

private:
    struct Element {
        std::vector<GxActionRef> actions;
        int actionIndex = 0;
        bool currentActionSalvaged = false;
        bool paused = false;
        std::shared_ptr<GxNode> target;
        GxAction* currentAction = nullptr;
    };
    using Elements = std::list<Element>;

    Element* find(const GxNode* target);
    const Element* find(const GxNode* target) const;
    void removeActionAtIndex(size_t index, Element& e);
    void deleteElement(const GxNode* target);

    Elements elements_;  // in creation order
    std::unordered_map<const GxNode*, Elements::iterator> index_;
    Element* currentTarget_ = nullptr;
    bool currentTargetSalvaged_ = false;
};

}  // namespace engine2d
