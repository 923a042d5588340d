#pragma once
// A small count badge: the text in a rounded, shadowed lozenge, optionally
// shiny and framed.

#include <memory>
#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/View.h"

class CustomBadge : public ui::View {
public:
    // White text on red in a white frame, roundness 0.4, sized for the text.
    CustomBadge(const std::string& text, double scale, bool shining);
    CustomBadge(const std::string& text, const ui::Color& textColor, const ui::Color& insetColor, bool frame,
                const ui::Color& frameColor, double scale, bool shining);
    const char* className() const override { return "CustomBadge"; }

    // Scale 1, shining.
    static std::shared_ptr<CustomBadge> customBadgeWithString(const std::string& text);
    static std::shared_ptr<CustomBadge> customBadgeWithString(const std::string& text, const ui::Color& textColor,
                                                              const ui::Color& insetColor, bool frame,
                                                              const ui::Color& frameColor, double scale, bool shining);

    // Sizes the badge for the text (keeping its origin), stores it and redraws:
    // a text of fewer than 2 characters gets a square of 25 x scale; a longer
    // one is (25 + its width in bold 12 + its character count) x scale wide.
    void autoBadgeSizeWithString(const std::string& text);

    const std::string& badgeText() const { return badgeText_; }
    // Stores the text only: no resizing, no redrawing.
    void setBadgeText(const std::string& t) { badgeText_ = t; }
    ui::Color badgeTextColor() const { return textColor_; }
    void setBadgeTextColor(const ui::Color& c) { textColor_ = c; }
    ui::Color badgeInsetColor() const { return insetColor_; }
    void setBadgeInsetColor(const ui::Color& c) { insetColor_ = c; }
    ui::Color badgeFrameColor() const { return frameColor_; }
    void setBadgeFrameColor(const ui::Color& c) { frameColor_ = c; }
    bool badgeFrame() const { return frame_; }
    void setBadgeFrame(bool f) { frame_ = f; }
    bool badgeShining() const { return shining_; }
    void setBadgeShining(bool s) { shining_ = s; }
    double badgeCornerRoundness() const { return roundness_; }
    void setBadgeCornerRoundness(double r) { roundness_ = r; }
    double badgeScaleFactor() const { return scale_; }
    void setBadgeScaleFactor(double s) { scale_ = s; }

    // The text's font: bold 13.5 x scale, 1.2 times that for one character.
    ui::Font badgeFont() const;
    // The frame's line width: 2, or 2 + 0.25 x scale above scale 1.
    double frameLineWidth() const { return scale_ > 1 ? 2 + 0.25 * scale_ : 2; }

    void drawRect(const ui::Rect& rect) override;

private:
    std::string badgeText_;
    ui::Color textColor_, insetColor_, frameColor_;
    bool frame_ = true, shining_ = true;
    double roundness_ = 0.4;
    double scale_ = 1;
};
