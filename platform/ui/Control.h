#pragma once
// Controls: views that turn touches into actions sent to their targets for
// control events, with the normal, highlighted, selected and disabled
// states; and the simple controls built on them (button, activity
// indicator, progress view, page control).

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace ui {

enum ControlEvents : unsigned {
    kControlEventTouchDown = 1u << 0,
    kControlEventTouchDownRepeat = 1u << 1,
    kControlEventTouchDragInside = 1u << 2,
    kControlEventTouchDragOutside = 1u << 3,
    kControlEventTouchDragEnter = 1u << 4,
    kControlEventTouchDragExit = 1u << 5,
    kControlEventTouchUpInside = 1u << 6,
    kControlEventTouchUpOutside = 1u << 7,
    kControlEventTouchCancel = 1u << 8,
    kControlEventValueChanged = 1u << 12,
    kControlEventEditingDidBegin = 1u << 16,
    kControlEventEditingChanged = 1u << 17,
    kControlEventEditingDidEnd = 1u << 18,
    kControlEventEditingDidEndOnExit = 1u << 19,
    kControlEventAllTouchEvents = 0x00000FFFu,
    kControlEventAllEditingEvents = 0x000F0000u,
    kControlEventAllEvents = 0xFFFFFFFFu,
};

enum ControlState : unsigned {
    kControlStateNormal = 0,
    kControlStateHighlighted = 1u << 0,
    kControlStateDisabled = 1u << 1,
    kControlStateSelected = 1u << 2,
};

class Control;
// An action: the sender and the event that caused it (nullptr when sent from code).
using ControlAction = std::function<void(Control* sender, const Event* event)>;

class Control : public View {
public:
    explicit Control(const Rect& frame = {});
    const char* className() const override { return "Control"; }

    // target identifies the receiver for removeTarget (it is not called).
    void addTarget(const void* target, ControlAction action, unsigned events);
    // Removes the target's actions for the events; a null target removes all.
    void removeTarget(const void* target, unsigned events);
    // The events the target listens to (0 when none).
    unsigned controlEventsForTarget(const void* target) const;
    size_t actionCount() const { return actions_.size(); }
    // Calls every action registered for any of the events, in the order added.
    void sendActionsForControlEvents(unsigned events);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool e);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool s);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool h);
    unsigned state() const;
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    // Tracking hooks. The default begin and continue answer true. tracking is
    // already false when endTracking and cancelTracking run.
    virtual bool beginTrackingWithTouch(const Touch& touch, const Event& event);
    virtual bool continueTrackingWithTouch(const Touch& touch, const Event& event);
    virtual void endTrackingWithTouch(const Touch& touch, const Event& event);
    virtual void cancelTrackingWithEvent(const Event* event);

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;

protected:
    // Called after the enabled, selected or highlighted state changed.
    virtual void stateDidChange() {}
    void sendActions(unsigned events, const Event* event);

private:
    struct Entry {
        const void* target;
        ControlAction action;
        unsigned events;
    };
    std::vector<Entry> actions_;
    bool enabled_ = true, selected_ = false, highlighted_ = false;
    bool tracking_ = false, touchInside_ = false;
};

enum class ButtonType {
    Custom = 0,
    RoundedRect = 1,
    DetailDisclosure = 2,
    InfoLight = 3,
    InfoDark = 4,
    ContactAdd = 5
};

class Button : public Control {
public:
    explicit Button(const Rect& frame = {}, ButtonType type = ButtonType::Custom);
    static std::shared_ptr<Button> buttonWithType(ButtonType type);
    const char* className() const override { return "Button"; }
    ButtonType buttonType() const { return type_; }

    // Per-state looks. A state without its own value uses the normal one.
    void setTitle(const std::string& title, unsigned state = kControlStateNormal);
    std::string titleForState(unsigned state) const;
    void setTitleColor(const Color& color, unsigned state = kControlStateNormal);
    Color titleColorForState(unsigned state) const;
    void setTitleShadowColor(const Color& color, unsigned state = kControlStateNormal);
    Color titleShadowColorForState(unsigned state) const;
    void setImage(ImageRef image, unsigned state = kControlStateNormal);
    ImageRef imageForState(unsigned state) const;
    void setBackgroundImage(ImageRef image, unsigned state = kControlStateNormal);
    ImageRef backgroundImageForState(unsigned state) const;

    std::string currentTitle() const { return titleForState(state()); }
    ImageRef currentImage() const { return imageForState(state()); }
    ImageRef currentBackgroundImage() const { return backgroundImageForState(state()); }

    Label* titleLabel() const { return titleLabel_.get(); }
    ImageView* imageView() const { return imageView_.get(); }

    EdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(const EdgeInsets& i) {
        contentInsets_ = i;
        setNeedsLayout();
    }
    EdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(const EdgeInsets& i) {
        titleInsets_ = i;
        setNeedsLayout();
    }
    EdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(const EdgeInsets& i) {
        imageInsets_ = i;
        setNeedsLayout();
    }
    bool adjustsImageWhenHighlighted() const { return adjustsImage_; }
    void setAdjustsImageWhenHighlighted(bool a) {
        adjustsImage_ = a;
        update();
    }

    // Where the background, the title and the image go for the bounds.
    Rect backgroundRectForBounds(const Rect& bounds) const { return bounds; }
    Rect contentRectForBounds(const Rect& bounds) const { return contentInsets_.inset(bounds); }
    Rect titleRectForContentRect(const Rect& contentRect) const;
    Rect imageRectForContentRect(const Rect& contentRect) const;

    void layoutSubviews() override;
    Size sizeThatFits(Size size) const override;
    std::string displayedText() const override { return currentTitle(); }

protected:
    void stateDidChange() override { update(); }

private:
    template <typename T>
    static T lookup(const std::map<unsigned, T>& m, unsigned state, T fallback);
    void update();
    Size titleSize() const;

    ButtonType type_;
    std::map<unsigned, std::string> titles_;
    std::map<unsigned, Color> titleColors_, shadowColors_;
    std::map<unsigned, ImageRef> images_, backgroundImages_;
    std::shared_ptr<ImageView> backgroundView_;
    std::shared_ptr<ImageView> imageView_;
    std::shared_ptr<Label> titleLabel_;
    EdgeInsets contentInsets_, titleInsets_, imageInsets_;
    bool adjustsImage_ = true;
};

enum class ActivityIndicatorStyle { WhiteLarge = 0, White = 1, Gray = 2 };

class ActivityIndicatorView : public View {
public:
    explicit ActivityIndicatorView(ActivityIndicatorStyle style = ActivityIndicatorStyle::White);
    const char* className() const override { return "ActivityIndicatorView"; }
    ActivityIndicatorStyle style() const { return style_; }
    // Changes the size to the style's: 37x37 for the large style, else 20x20.
    void setStyle(ActivityIndicatorStyle s);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool h);
    Color color() const;
    void drawRect(const Rect& rect) override;
    Size sizeThatFits(Size) const override;

private:
    ActivityIndicatorStyle style_;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
};

enum class ProgressViewStyle { Default = 0, Bar = 1 };

class ProgressView : public View {
public:
    explicit ProgressView(ProgressViewStyle style = ProgressViewStyle::Default);
    const char* className() const override { return "ProgressView"; }
    ProgressViewStyle progressViewStyle() const { return style_; }
    double progress() const { return progress_; }
    // Clamped to [0, 1].
    void setProgress(double p, bool animated = false);
    Color progressTintColor() const { return tint_; }
    void setProgressTintColor(const Color& c) {
        tint_ = c;
        setNeedsDisplay();
    }
    Color trackTintColor() const { return track_; }
    void setTrackTintColor(const Color& c) {
        track_ = c;
        setNeedsDisplay();
    }
    void drawRect(const Rect& rect) override;

private:
    ProgressViewStyle style_;
    double progress_ = 0;
    Color tint_ = Color::rgba(0.16, 0.45, 0.9);
    Color track_ = Color::white(0.85);
};

// Dots for pages. A tap on the left half goes one page back, on the right
// half one forward, and sends value changed.
class PageControl : public Control {
public:
    explicit PageControl(const Rect& frame = {});
    const char* className() const override { return "PageControl"; }
    int numberOfPages() const { return pages_; }
    void setNumberOfPages(int n);
    int currentPage() const { return current_; }
    // Clamped to [0, numberOfPages - 1].
    void setCurrentPage(int p);
    bool hidesForSinglePage() const { return hidesForSingle_; }
    void setHidesForSinglePage(bool h);
    bool defersCurrentPageDisplay() const { return defers_; }
    void setDefersCurrentPageDisplay(bool d) { defers_ = d; }
    // The page the dots show (differs from currentPage while deferring).
    int displayedPage() const { return displayed_; }
    void updateCurrentPageDisplay();
    Size sizeForNumberOfPages(int n) const;
    void endTrackingWithTouch(const Touch& touch, const Event& event) override;
    void drawRect(const Rect& rect) override;

private:
    void updateHidden();
    int pages_ = 0, current_ = 0, displayed_ = 0;
    bool hidesForSingle_ = false, defers_ = false;
};

}  // namespace ui
