#pragma once
// The modal panel with a noisy dark title bar across the top of its box
// carrying the title; the box grows empty and the title and content fade in
// once it stands.

#include <memory>

#include "lib/kit/GradientBackground.h"
#include "lib/kit/ModalPanel.h"
#include "platform/ui/Label.h"

class TitledModalPanel : public ModalPanel {
public:
    explicit TitledModalPanel(const ui::Rect& frame);
    const char* className() const override { return "TitledModalPanel"; }

    double titleBarHeight() const { return titleBarHeight_; }
    void setTitleBarHeight(double h) {
        titleBarHeight_ = h;
        setNeedsLayout();
    }
    NoisyGradientBackground* titleBar() const { return titleBar_.get(); }
    ui::Label* headerLabel() const { return headerLabel_.get(); }

    // In the rounded box's bounds space.
    virtual ui::Rect titleBarFrame();
    ui::Rect contentViewFrame() override;
    void layoutSubviews() override;
    void showAnimationStarting() override;
    void showAnimationFinished() override;

    static constexpr double kFadeInSeconds = 0.2;

private:
    double titleBarHeight_ = 40;
    std::shared_ptr<NoisyGradientBackground> titleBar_;
    std::shared_ptr<ui::Label> headerLabel_;
};
