#pragma once
// Presenting a modal view over the window: the one helper behind alerts and
// action sheets (and the panels, PIN pads and pickers that come after them).
// A presentation puts its view on a dimming view in front of the key window,
// keeps it alive in a stack of its kind while it shows (a shown modal lives
// on after its maker lets go of it), and reports willPresent at once and
// didPresent on the next main-loop turn. Main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace ui {

// The shown modals of one kind, oldest first (the last one is in front).
class ModalStack {
public:
    // When hidesOlder is true only the front one shows: a newer modal hides
    // the dimming views of the older ones until it goes.
    explicit ModalStack(bool hidesOlder) : hidesOlder_(hidesOlder) {}
    ModalStack(const ModalStack&) = delete;
    ModalStack& operator=(const ModalStack&) = delete;

    std::vector<View*> views() const;
    View* front() const;
    bool empty() const { return entries_.empty(); }

private:
    friend class ModalPresentation;
    struct Entry {
        std::shared_ptr<View> view;
        class ModalPresentation* presentation;
    };
    void push(const std::shared_ptr<View>& view, ModalPresentation* presentation);
    void remove(const View* view);
    bool hidesOlder_;
    std::vector<Entry> entries_;
};

class ModalPresentation {
public:
    explicit ModalPresentation(ModalStack& stack) : stack_(stack) {}
    ~ModalPresentation();
    ModalPresentation(const ModalPresentation&) = delete;
    ModalPresentation& operator=(const ModalPresentation&) = delete;

    bool isVisible() const { return visible_; }

    // Shows `view` (the object this presentation belongs to). It counts as
    // visible and joins the stack, then willPresent runs; when that did not
    // dismiss it, the view goes on a new dimming view in front of the key
    // window, and didPresent is posted for the next turn (dropped when the
    // modal is dismissed before). Returns whether it is still visible.
    // Showing a visible modal does nothing and returns false.
    bool present(const std::shared_ptr<View>& view, const std::function<void()>& willPresent,
                 std::function<void()> didPresent);
    // Ends the presentation: a didPresent still pending runs first, then
    // willDismiss, then the view leaves the screen and the stack, then
    // didDismiss. Returns false (and calls nothing) when it is not visible.
    bool dismiss(const std::shared_ptr<View>& view, const std::function<void()>& willDismiss,
                 const std::function<void()>& didDismiss);

    // The area modals are laid out in: the key window's bounds, else the screen's.
    static Rect hostBounds();

private:
    friend class ModalStack;
    void setDimHidden(bool hidden);
    ModalStack& stack_;
    std::shared_ptr<View> dimView_;
    std::function<void()> didPresent_;
    bool visible_ = false;
    unsigned presentation_ = 0;
};

}  // namespace ui
