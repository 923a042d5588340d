#pragma once
// Touch dispatch. The GL view hands every touch event to the dispatcher,
// which offers it to registered receivers in priority order (lower first):
// targeted receivers one touch at a time (they claim a touch when it begins,
// then get only what they claimed, and may swallow it), then standard
// receivers the whole set less what was swallowed. Registrations, removals
// and priority changes made from inside a callback take effect once the
// event is through.

#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace engine2d {

using GxTouch = std::shared_ptr<ui::Touch>;
using GxTouchSet = ui::TouchSet;

// What the GL view calls.
class GxTouchDelegate {
public:
    virtual ~GxTouchDelegate() = default;
    virtual void touchesBegan(const ui::TouchSet&, const ui::Event&) {}
    virtual void touchesMoved(const ui::TouchSet&, const ui::Event&) {}
    virtual void touchesEnded(const ui::TouchSet&, const ui::Event&) {}
    virtual void touchesCancelled(const ui::TouchSet&, const ui::Event&) {}
};

enum GxTouchSelectorFlag : int {
    kGxTouchSelectorBeganBit = 1,
    kGxTouchSelectorMovedBit = 2,
    kGxTouchSelectorEndedBit = 4,
    kGxTouchSelectorCancelledBit = 8,
    kGxTouchSelectorAllBits = 15,
};

enum GxTouchPhase : unsigned { kGxTouchBegan = 0, kGxTouchMoved = 1, kGxTouchEnded = 2, kGxTouchCancelled = 3 };

// The common base of receivers: a receiver is known by its identity.
class GxTouchReceiver {
public:
    virtual ~GxTouchReceiver() = default;
};

class GxTargetedTouchDelegate : public virtual GxTouchReceiver {
public:
    // True claims the touch.
    virtual bool gxTouchBegan(const GxTouch& touch, const ui::Event& event) = 0;
    virtual void gxTouchMoved(const GxTouch&, const ui::Event&) {}
    virtual void gxTouchEnded(const GxTouch&, const ui::Event&) {}
    virtual void gxTouchCancelled(const GxTouch&, const ui::Event&) {}
    // The phases this receiver handles (selector bits); the others are not called.
    virtual int gxTargetedTouchPhases() const { return kGxTouchSelectorAllBits; }
};

class GxStandardTouchDelegate : public virtual GxTouchReceiver {
public:
    virtual void gxTouchesBegan(const GxTouchSet&, const ui::Event&) {}
    virtual void gxTouchesMoved(const GxTouchSet&, const ui::Event&) {}
    virtual void gxTouchesEnded(const GxTouchSet&, const ui::Event&) {}
    virtual void gxTouchesCancelled(const GxTouchSet&, const ui::Event&) {}
    virtual int gxStandardTouchPhases() const { return kGxTouchSelectorAllBits; }
};

// One registration; holds its receiver until removed.
class GxTouchHandler {
public:
    GxTouchHandler(std::shared_ptr<GxTouchReceiver> delegate, int priority)
        : delegate_(std::move(delegate)), priority_(priority) {}
    virtual ~GxTouchHandler() = default;
    const std::shared_ptr<GxTouchReceiver>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<GxTouchReceiver> d) { delegate_ = std::move(d); }
    int priority() const { return priority_; }
    void setPriority(int p) { priority_ = p; }
    int enabledSelectors() const { return enabledSelectors_; }
    void setEnabledSelectors(int s) { enabledSelectors_ = s; }

protected:
    std::shared_ptr<GxTouchReceiver> delegate_;
    int priority_ = 0;
    int enabledSelectors_ = 0;
};

class GxStandardTouchHandler : public GxTouchHandler {
public:
    GxStandardTouchHandler(std::shared_ptr<GxStandardTouchDelegate> delegate, int priority);
    GxStandardTouchDelegate* standardDelegate() const { return standard_; }

private:
    GxStandardTouchDelegate* standard_;
};

class GxTargetedTouchHandler : public GxTouchHandler {
public:
    GxTargetedTouchHandler(std::shared_ptr<GxTargetedTouchDelegate> delegate, int priority, bool swallowsTouches);
    GxTargetedTouchDelegate* targetedDelegate() const { return targeted_; }
    bool swallowsTouches() const { return swallowsTouches_; }
    void setSwallowsTouches(bool s) { swallowsTouches_ = s; }
    // Touches claimed when they began and not yet ended or cancelled.
    const std::vector<GxTouch>& claimedTouches() const { return claimedTouches_; }
    bool holds(const GxTouch& t) const;
    void claim(const GxTouch& t);
    void release(const GxTouch& t);

private:
    GxTargetedTouchDelegate* targeted_;
    bool swallowsTouches_;
    std::vector<GxTouch> claimedTouches_;
};

class GxTouchDispatcher : public GxTouchDelegate {
public:
    GxTouchDispatcher();

    void addStandardDelegate(std::shared_ptr<GxStandardTouchDelegate> delegate, int priority);
    void addTargetedDelegate(std::shared_ptr<GxTargetedTouchDelegate> delegate, int priority, bool swallowsTouches);
    // One handler of the receiver from each kind; nothing for nullptr.
    void removeDelegate(const GxTouchReceiver* delegate);
    void removeAllDelegates();
    // The first handler of the receiver (targeted, standard, then those
    // waiting to be added); nullptr when none.
    std::shared_ptr<GxTouchHandler> findHandler(const GxTouchReceiver* delegate) const;
    // Takes effect at once outside a dispatch; inside one the handlers are
    // re-sorted once the event is through, so the walk in progress keeps its order.
    void setPriority(int priority, const GxTouchReceiver* delegate);

    bool dispatchEvents() const { return dispatchEvents_; }
    void setDispatchEvents(bool d) { dispatchEvents_ = d; }

    void touchesBegan(const ui::TouchSet& t, const ui::Event& e) override;
    void touchesMoved(const ui::TouchSet& t, const ui::Event& e) override;
    void touchesEnded(const ui::TouchSet& t, const ui::Event& e) override;
    void touchesCancelled(const ui::TouchSet& t, const ui::Event& e) override;
    void touches(const ui::TouchSet& t, const ui::Event& e, unsigned phase);

    const std::vector<std::shared_ptr<GxTargetedTouchHandler>>& targetedHandlers() const { return targeted_; }
    const std::vector<std::shared_ptr<GxStandardTouchHandler>>& standardHandlers() const { return standard_; }
    bool isLocked() const { return locked_; }

private:
    template <class H>
    static void forceAddHandler(const std::shared_ptr<H>& h, std::vector<std::shared_ptr<H>>& array);
    void forceRemoveDelegate(const GxTouchReceiver* delegate);
    void forceRemoveAllDelegates();
    void rearrangeHandlers();

    std::vector<std::shared_ptr<GxTargetedTouchHandler>> targeted_;
    std::vector<std::shared_ptr<GxStandardTouchHandler>> standard_;
    bool locked_ = false, toAdd_ = false, toRemove_ = false, toQuit_ = false, toResort_ = false;
    std::vector<std::shared_ptr<GxTouchHandler>> handlersToAdd_;
    std::vector<const GxTouchReceiver*> handlersToRemove_;
    bool dispatchEvents_ = true;
};

}  // namespace engine2d
