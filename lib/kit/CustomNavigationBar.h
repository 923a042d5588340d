#pragma once
// The navigation bar of the app's navigation controllers: draws a picture as
// its background (or the standard look without one) and makes the back
// buttons the screens put on the left of their bars.

#include <memory>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/Navigation.h"

class CustomNavigationBar : public ui::NavigationBar {
public:
    explicit CustomNavigationBar(const ui::Rect& frame = {0, 0, 320, ui::NavigationBar::kHeight});
    static std::shared_ptr<CustomNavigationBar> create(const ui::Rect& frame = {0, 0, 320,
                                                                                ui::NavigationBar::kHeight}) {
        return std::make_shared<CustomNavigationBar>(frame);
    }
    const char* className() const override { return "CustomNavigationBar"; }

    // nullptr: the standard look.
    ui::ImageView* navigationBarBackgroundImage() const { return background_.get(); }
    double backButtonCapWidth() const { return capWidth_; }
    // Not owned; back() pops it when set.
    ui::NavigationController* navigationController() const { return navigationController_; }
    void setNavigationController(ui::NavigationController* nc) { navigationController_ = nc; }

    void setBackgroundWith(ui::ImageRef image);
    void clearBackground();

    // A back button of the stretched pictures titled with the top item's title.
    std::shared_ptr<ui::Button> backButtonWith(ui::ImageRef normal, ui::ImageRef highlight, double leftCapWidth);
    // The button becomes as wide as the text in its title font plus 1.5 x
    // the cap width, at most kMaxBackButtonWidth.
    void setText(const std::string& text, ui::Button* button);
    void back(ui::Control* sender);

    static constexpr double kMaxBackButtonWidth = 160;

    void drawRect(const ui::Rect& rect) override;

private:
    std::shared_ptr<ui::ImageView> background_;
    double capWidth_ = 0;
    ui::NavigationController* navigationController_ = nullptr;
};
