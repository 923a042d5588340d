#include "lib/engine2d/actions/GxActionInterval.h"

#include <cmath>

#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/sprites/GxAnimation.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "platform/foundation/NotificationCenter.h"

namespace engine2d {

const char* const kGxAnimationFrameDisplayedNotification = "GxAnimationFrameDisplayedNotification";

// --- interval ---------------------------------------------------------------

void GxActionInterval::initWithDuration(float d) {
    duration_ = d == 0 ? kGxActionEpsilon : d;
    elapsed_ = 0;
    firstTick_ = true;
}

void GxActionInterval::startWithTarget(GxNode* target) {
    GxFiniteTimeAction::startWithTarget(target);
    elapsed_ = 0;
    firstTick_ = true;
}

void GxActionInterval::step(float dt) {
    if (firstTick_) {
        firstTick_ = false;
        elapsed_ = 0;
    } else {
        elapsed_ += dt;
    }
    float t = elapsed_ / safeDuration();
    if (!(t > 0)) t = 0;  // negative or not a number
    if (t > 1) t = 1;
    update(t);
}

namespace {

float durationOf(const GxFiniteTimeActionRef& a) { return a ? a->duration() : 0; }

template <class Pair>
GxFiniteTimeActionRef nest(const GxFiniteTimeActionRef* begin, const GxFiniteTimeActionRef* end) {
    if (begin == end || !*begin) return nullptr;
    GxFiniteTimeActionRef prev = *begin;
    for (auto it = begin + 1; it != end && *it; ++it) prev = Pair::actionOne(prev, *it);
    return prev;
}

}  // namespace

// --- sequence ---------------------------------------------------------------

GxFiniteTimeActionRef GxSequence::actions(std::initializer_list<GxFiniteTimeActionRef> list) {
    return nest<GxSequence>(list.begin(), list.end());
}

GxFiniteTimeActionRef GxSequence::actionsWithArray(const std::vector<GxFiniteTimeActionRef>& list) {
    return nest<GxSequence>(list.data(), list.data() + list.size());
}

std::shared_ptr<GxSequence> GxSequence::actionOne(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two) {
    if (!one || !two) return nullptr;
    return std::make_shared<GxSequence>(std::move(one), std::move(two));
}

GxSequence::GxSequence(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two)
    : GxActionInterval(durationOf(one) + durationOf(two)) {
    actions_[0] = std::move(one);
    actions_[1] = std::move(two);
}

GxActionRef GxSequence::copy() const { return std::make_shared<GxSequence>(gxCopy(actions_[0]), gxCopy(actions_[1])); }

void GxSequence::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    split_ = actions_[0]->duration() / safeDuration();
    last_ = -1;
}

void GxSequence::stop() {
    if (last_ != -1) actions_[last_]->stop();
    GxActionInterval::stop();
}

void GxSequence::update(float t) {
    int found;
    float newT;
    // Children may stop this sequence's node from their update: keep them.
    GxFiniteTimeActionRef one = actions_[0], two = actions_[1];
    if (t < split_) {
        found = 0;
        newT = split_ != 0 ? t / split_ : 1;
    } else {
        found = 1;
        newT = split_ == 1 ? 1 : (t - split_) / (1 - split_);
        if (last_ == -1) {
            // The first child never ran: it runs whole before the second.
            one->startWithTarget(target_);
            one->update(1);
            one->stop();
        } else if (last_ == 0) {
            one->update(1);
            one->stop();
        }
    }
    GxAction* child = found == 0 ? one.get() : two.get();
    if (found != last_) child->startWithTarget(target_);
    last_ = found;
    child->update(newT);
}

GxFiniteTimeActionRef GxSequence::reverse() const { return actionOne(actions_[1]->reverse(), actions_[0]->reverse()); }

// --- repeat -----------------------------------------------------------------

std::shared_ptr<GxRepeat> GxRepeat::actionWithAction(GxFiniteTimeActionRef action, unsigned times) {
    if (!action) return nullptr;
    return std::make_shared<GxRepeat>(std::move(action), times);
}

GxRepeat::GxRepeat(GxFiniteTimeActionRef action, unsigned times)
    : GxActionInterval(durationOf(action) * float(times)),
      times_(times),
      isActionInstant_(dynamic_cast<GxActionInstant*>(action.get()) != nullptr),
      innerAction_(std::move(action)) {}

GxActionRef GxRepeat::copy() const { return std::make_shared<GxRepeat>(gxCopy(innerAction_), times_); }

void GxRepeat::startWithTarget(GxNode* target) {
    total_ = 0;
    nextDt_ = innerAction_->duration() / safeDuration();
    GxActionInterval::startWithTarget(target);
    innerAction_->startWithTarget(target);
}

void GxRepeat::stop() {
    innerAction_->stop();
    GxActionInterval::stop();
}

void GxRepeat::update(float t) {
    if (times_ == 0) return;
    GxFiniteTimeActionRef inner = innerAction_;
    const float share = inner->duration() / safeDuration();
    if (t >= nextDt_) {
        while (t > nextDt_ && total_ < times_) {
            inner->update(1);
            total_++;
            inner->stop();
            inner->startWithTarget(target_);
            nextDt_ += share;
        }
        if (t >= 1 && total_ < times_) total_++;
        if (!isActionInstant_) {
            if (total_ == times_) {
                inner->update(1);
                inner->stop();
            } else if (share > 0) {
                // The progress within the run that has just begun.
                inner->update((t - (nextDt_ - share)) / share);
            }
        }
    } else {
        inner->update(std::fmod(t * float(times_), 1.0f));
    }
}

GxFiniteTimeActionRef GxRepeat::reverse() const {
    auto r = innerAction_->reverse();
    return r ? std::make_shared<GxRepeat>(std::move(r), times_) : nullptr;
}

// --- spawn ------------------------------------------------------------------

GxFiniteTimeActionRef GxSpawn::actions(std::initializer_list<GxFiniteTimeActionRef> list) {
    return nest<GxSpawn>(list.begin(), list.end());
}

GxFiniteTimeActionRef GxSpawn::actionsWithArray(const std::vector<GxFiniteTimeActionRef>& list) {
    return nest<GxSpawn>(list.data(), list.data() + list.size());
}

std::shared_ptr<GxSpawn> GxSpawn::actionOne(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two) {
    if (!one || !two) return nullptr;
    return std::make_shared<GxSpawn>(std::move(one), std::move(two));
}

GxSpawn::GxSpawn(GxFiniteTimeActionRef one, GxFiniteTimeActionRef two)
    : GxActionInterval(std::max(durationOf(one), durationOf(two))), one_(std::move(one)), two_(std::move(two)) {
    float d1 = one_->duration(), d2 = two_->duration();
    if (d1 > d2)
        two_ = GxSequence::actionOne(two_, GxDelayTime::actionWithDuration(d1 - d2));
    else if (d1 < d2)
        one_ = GxSequence::actionOne(one_, GxDelayTime::actionWithDuration(d2 - d1));
}

GxActionRef GxSpawn::copy() const { return std::make_shared<GxSpawn>(gxCopy(one_), gxCopy(two_)); }

void GxSpawn::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    one_->startWithTarget(target);
    two_->startWithTarget(target);
}

void GxSpawn::stop() {
    one_->stop();
    two_->stop();
    GxActionInterval::stop();
}

void GxSpawn::update(float t) {
    GxFiniteTimeActionRef one = one_, two = two_;
    one->update(t);
    two->update(t);
}

GxFiniteTimeActionRef GxSpawn::reverse() const { return actionOne(one_->reverse(), two_->reverse()); }

// --- reverse time -----------------------------------------------------------

std::shared_ptr<GxReverseTime> GxReverseTime::actionWithAction(GxFiniteTimeActionRef action) {
    if (!action) return nullptr;
    return std::make_shared<GxReverseTime>(std::move(action));
}

GxReverseTime::GxReverseTime(GxFiniteTimeActionRef action)
    : GxActionInterval(durationOf(action)), other_(std::move(action)) {}

GxActionRef GxReverseTime::copy() const { return std::make_shared<GxReverseTime>(gxCopy(other_)); }

void GxReverseTime::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    other_->startWithTarget(target);
}

void GxReverseTime::stop() {
    other_->stop();
    GxActionInterval::stop();
}

void GxReverseTime::update(float t) {
    GxFiniteTimeActionRef other = other_;
    other->update(1 - t);
}

GxFiniteTimeActionRef GxReverseTime::reverse() const { return gxCopy(other_); }

// --- targeted ---------------------------------------------------------------

std::shared_ptr<GxTargetedAction> GxTargetedAction::actionWithTarget(std::shared_ptr<GxNode> target,
                                                                     GxFiniteTimeActionRef action) {
    if (!target || !action) return nullptr;
    return std::make_shared<GxTargetedAction>(std::move(target), std::move(action));
}

GxTargetedAction::GxTargetedAction(std::shared_ptr<GxNode> target, GxFiniteTimeActionRef action)
    : GxActionInterval(durationOf(action)), forcedTarget_(std::move(target)), action_(std::move(action)) {}

GxActionRef GxTargetedAction::copy() const {
    return std::make_shared<GxTargetedAction>(forcedTarget_, gxCopy(action_));
}

void GxTargetedAction::startWithTarget(GxNode*) {
    GxActionInterval::startWithTarget(forcedTarget_.get());
    action_->startWithTarget(forcedTarget_.get());
}

void GxTargetedAction::stop() { action_->stop(); }

void GxTargetedAction::update(float t) {
    GxFiniteTimeActionRef action = action_;
    action->update(t);
}

// --- animate ----------------------------------------------------------------

std::shared_ptr<GxAnimate> GxAnimate::actionWithAnimation(std::shared_ptr<GxAnimation> animation) {
    if (!animation) return nullptr;
    return std::make_shared<GxAnimate>(std::move(animation));
}

GxAnimate::GxAnimate(std::shared_ptr<GxAnimation> animation)
    : GxActionInterval(animation ? animation->duration() * float(animation->loops()) : 0),
      animation_(std::move(animation)) {
    if (!animation_) return;
    const float d = animation_->duration();
    const float total = animation_->totalDelayUnits();
    const float unit = total > 0 ? d / total : 0;
    float units = 0;
    splitTimes_.reserve(animation_->frames().size());
    for (auto& frame : animation_->frames()) {
        splitTimes_.push_back(d > 0 ? (units * unit) / d : 0);
        units += frame->delayUnits();
    }
}

GxActionRef GxAnimate::copy() const { return std::make_shared<GxAnimate>(animation_ ? animation_->copy() : nullptr); }

void GxAnimate::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    origFrame_.reset();
    auto* sprite = dynamic_cast<GxSprite*>(target);
    if (sprite && animation_ && animation_->restoreOriginalFrame()) origFrame_ = sprite->displayFrame();
    nextFrame_ = 0;
    executedLoops_ = 0;
}

void GxAnimate::stop() {
    auto* sprite = dynamic_cast<GxSprite*>(target_);
    if (sprite && animation_ && animation_->restoreOriginalFrame() && origFrame_) sprite->setDisplayFrame(origFrame_);
    GxActionInterval::stop();
}

void GxAnimate::update(float t) {
    auto* sprite = dynamic_cast<GxSprite*>(target_);
    if (!sprite || !animation_) return;
    if (t < 1) {
        float loopsT = t * float(animation_->loops());
        unsigned whole = unsigned(loopsT);
        if (executedLoops_ < whole) {
            nextFrame_ = 0;
            executedLoops_++;
        }
        t = std::fmod(loopsT, 1.0f);
    }
    const auto& frames = animation_->frames();
    for (size_t i = size_t(nextFrame_); i < frames.size() && i < splitTimes_.size(); ++i) {
        if (splitTimes_[i] <= t) {
            auto frame = frames[i];
            sprite->setDisplayFrame(frame->spriteFrame());
            nextFrame_ = int(i) + 1;
            if (frame->userInfo())
                foundation::NotificationCenter::defaultCenter().post(kGxAnimationFrameDisplayedNotification, target_,
                                                                     foundation::Value(*frame->userInfo()));
            break;
        }
    }
}

GxFiniteTimeActionRef GxAnimate::reverse() const {
    if (!animation_) return nullptr;
    GxAnimation::Frames frames;
    for (auto it = animation_->frames().rbegin(); it != animation_->frames().rend(); ++it)
        frames.push_back((*it)->copy());
    auto a =
        GxAnimation::animationWithAnimationFrames(std::move(frames), animation_->delayPerUnit(), animation_->loops());
    a->setRestoreOriginalFrame(animation_->restoreOriginalFrame());
    return std::make_shared<GxAnimate>(std::move(a));
}

}  // namespace engine2d
