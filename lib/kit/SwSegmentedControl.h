#pragma once
// A segmented control drawn by the app: a rounded dark track with one title
// per segment and a sliding, glossy thumb carrying the selected title. Used
// as the two-position on/off switch of the shared cells; the thumb is tinted
// orange on segment 0 and grey elsewhere.

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"

class SwSegmentedControl;

class SwSegmentedThumb : public ui::View {
public:
    explicit SwSegmentedThumb(const ui::Rect& frame);
    const char* className() const override { return "SwSegmentedThumb"; }

    // The owning control (not owned).
    SwSegmentedControl* segmentedControl() const { return control_; }
    void setSegmentedControl(SwSegmentedControl* c) { control_ = c; }

    const ui::ImageRef& backgroundImage() const { return backgroundImage_; }
    // Casts a shadow only without an image.
    void setBackgroundImage(ui::ImageRef image);
    const ui::ImageRef& highlightedBackgroundImage() const { return highlightedBackgroundImage_; }
    void setHighlightedBackgroundImage(ui::ImageRef image);
    ui::Color tintColor() const { return tintColor_; }
    void setTintColor(const ui::Color& c);
    ui::Color textColor() const { return textColor_; }
    void setTextColor(const ui::Color& c);
    ui::Color textShadowColor() const { return textShadowColor_; }
    void setTextShadowColor(const ui::Color& c);
    ui::Size textShadowOffset() const { return textShadowOffset_; }
    void setTextShadowOffset(ui::Size s);
    ui::Color shadowColor() const { return textShadowColor_; }
    void setShadowColor(const ui::Color& c) { setTextShadowColor(c); }
    ui::Size shadowOffset() const { return textShadowOffset_; }
    void setShadowOffset(ui::Size s) { setTextShadowOffset(s); }
    ui::Font font() const { return label()->font(); }
    void setFont(const ui::Font& f);
    bool shouldCastShadow() const { return castsShadow_; }
    void setShouldCastShadow(bool b);
    bool castsShadow() const { return castsShadow_; }
    void setCastsShadow(bool b) { setShouldCastShadow(b); }
    bool isSelected() const { return selected_; }
    void setSelected(bool s);

    // Made on first use, with the thumb's bounds.
    ui::Label* label() const;
    ui::Label* secondLabel() const;

    void activate();
    void deactivate();

    void setFrame(const ui::Rect& frame) override;
    void drawRect(const ui::Rect& rect) override;

private:
    std::shared_ptr<ui::Label> makeLabel() const;
    bool crossFading() const;

    SwSegmentedControl* control_ = nullptr;
    ui::ImageRef backgroundImage_, highlightedBackgroundImage_;
    ui::Color tintColor_ = ui::Color::rgba(1.0, 144 / 255.0, 105 / 255.0, 1);
    ui::Color textColor_ = ui::Color::whiteColor();
    ui::Color textShadowColor_ = ui::Color::blackColor();
    ui::Size textShadowOffset_{0, -1};
    ui::Font font_ = ui::Font::boldSystemFont(15);
    bool castsShadow_ = true;
    bool selected_ = false;
    mutable std::shared_ptr<ui::Label> label_, secondLabel_;
};

class SwSegmentedControlDelegate {
public:
    virtual ~SwSegmentedControlDelegate() = default;
    virtual void segmentedControl(SwSegmentedControl* control, unsigned index) {
        (void)control;
        (void)index;
    }
};

class SwSegmentedControl : public ui::Control {
public:
    static constexpr unsigned kNoIndex = UINT_MAX;

    explicit SwSegmentedControl(const std::vector<std::string>& sectionTitles);
    static std::shared_ptr<SwSegmentedControl> create(const std::vector<std::string>& sectionTitles) {
        return std::make_shared<SwSegmentedControl>(sectionTitles);
    }
    const char* className() const override { return "SwSegmentedControl"; }

    // A user's snap to another segment (never a change from code).
    std::function<void(unsigned index)> changeHandler;
    // Every time the control settles on its selected segment.
    std::function<void(SwSegmentedControl*)> selectedSegmentChangedHandler;

    unsigned selectedIndex() const { return selectedIndex_; }
    void setSelectedIndex(unsigned i) { selectedIndex_ = i; }
    bool animateToInitialSelection() const { return animateToInitialSelection_; }
    void setAnimateToInitialSelection(bool a) { animateToInitialSelection_ = a; }
    bool crossFadeLabelsOnDrag() const { return crossFadeLabelsOnDrag_; }
    void setCrossFadeLabelsOnDrag(bool c) { crossFadeLabelsOnDrag_ = c; }

    ui::Color tintColor() const { return tintColor_; }
    void setTintColor(const ui::Color& c) {
        tintColor_ = c;
        setNeedsDisplay();
    }
    const ui::ImageRef& backgroundImage() const { return backgroundImage_; }
    // Also takes the image's height as the control's.
    void setBackgroundImage(ui::ImageRef image);
    ui::Font font() const { return font_; }
    void setFont(const ui::Font& f) { font_ = f; }
    ui::Color textColor() const { return textColor_; }
    void setTextColor(const ui::Color& c) { textColor_ = c; }
    ui::Color textShadowColor() const { return textShadowColor_; }
    void setTextShadowColor(const ui::Color& c) { textShadowColor_ = c; }
    ui::Size textShadowOffset() const { return textShadowOffset_; }
    void setTextShadowOffset(ui::Size s) { textShadowOffset_ = s; }
    ui::Color shadowColor() const { return textShadowColor_; }
    void setShadowColor(const ui::Color& c) { setTextShadowColor(c); }
    ui::Size shadowOffset() const { return textShadowOffset_; }
    void setShadowOffset(ui::Size s) { setTextShadowOffset(s); }
    double segmentPadding() const { return titleEdgeInsets_.left; }
    // The left and right title insets.
    void setSegmentPadding(double p) { titleEdgeInsets_ = {0, p, 0, p}; }
    double height() const { return height_; }
    void setHeight(double h) { height_ = h; }
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double r) { cornerRadius_ = r; }
    ui::EdgeInsets titleEdgeInsets() const { return titleEdgeInsets_; }
    void setTitleEdgeInsets(const ui::EdgeInsets& i) { titleEdgeInsets_ = i; }
    ui::EdgeInsets thumbEdgeInset() const { return thumbEdgeInset_; }
    void setThumbEdgeInset(const ui::EdgeInsets& i) { thumbEdgeInset_ = i; }

    // Not owned.
    SwSegmentedControlDelegate* delegate() const { return delegate_; }
    void setDelegate(SwSegmentedControlDelegate* d) { delegate_ = d; }

    // Made on first use.
    SwSegmentedThumb* thumb() const;

    const std::vector<std::string>& titles() const { return titles_; }
    const std::vector<ui::Rect>& thumbRects() const { return thumbRects_; }
    double segmentWidth() const { return segmentWidth_; }
    double thumbHeight() const { return thumbHeight_; }
    bool isActivated() const { return activated_; }

    // Selects the segment from code: value changed is sent and the thumb
    // tinted and moved, but changeHandler is not called. An index beyond
    // the segments is ignored.
    void moveThumbToIndex(unsigned index, bool animate);
    void activate();
    void toggle();

    // Lays the segments out when the control enters a superview.
    void willMoveToSuperview(ui::View* newSuperview) override;
    void drawRect(const ui::Rect& rect) override;

    bool beginTrackingWithTouch(const ui::Touch& touch, const ui::Event& event) override;
    bool continueTrackingWithTouch(const ui::Touch& touch, const ui::Event& event) override;
    void endTrackingWithTouch(const ui::Touch& touch, const ui::Event& event) override;
    void cancelTrackingWithEvent(const ui::Event* event) override;

    static constexpr double kSnapSeconds = 0.2;
    static constexpr double kActivateSeconds = 0.1;

private:
    void layoutSegments();
    void snap(bool animated);
    void updateTitles();
    unsigned segmentAt(double x) const;

    std::vector<std::string> titles_;
    std::vector<ui::Rect> thumbRects_;
    unsigned selectedIndex_ = 0;
    unsigned snapToIndex_ = kNoIndex;
    bool animateToInitialSelection_ = false;
    bool crossFadeLabelsOnDrag_ = false;
    bool trackingThumb_ = false, moved_ = false, activated_ = false;
    double dragOffset_ = 0, segmentWidth_ = 0, thumbHeight_ = 0;
    ui::Color tintColor_ = ui::Color::grayColor();
    ui::ImageRef backgroundImage_;
    ui::Font font_ = ui::Font::boldSystemFont(15);
    ui::Color textColor_ = ui::Color::grayColor();
    ui::Color textShadowColor_ = ui::Color::blackColor();
    ui::Size textShadowOffset_{0, -1};
    ui::EdgeInsets titleEdgeInsets_{0, 10, 0, 10};
    ui::EdgeInsets thumbEdgeInset_{2, 2, 3, 2};
    double height_ = 30;
    double cornerRadius_ = 4;
    SwSegmentedControlDelegate* delegate_ = nullptr;
    mutable std::shared_ptr<SwSegmentedThumb> thumb_;
};
