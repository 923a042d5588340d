#pragma once
// A view that draws one or more lines of text.

#include <string>

#include "platform/ui/Font.h"
#include "platform/ui/Text.h"
#include "platform/ui/View.h"

namespace ui {

// Where a line whose font was shrunk to fit sits: its baseline where the
// full-size text's would be, centred in the full-size line, or at its top.
enum class BaselineAdjustment { AlignBaselines = 0, AlignCenters = 1, AlignTops = 2 };

class Label : public View {
public:
    explicit Label(const Rect& frame = {});
    static std::shared_ptr<Label> create(const Rect& frame = {}) { return std::make_shared<Label>(frame); }
    const char* className() const override { return "Label"; }

    const std::string& text() const { return text_; }
    void setText(const std::string& t);
    const Font& font() const { return font_; }
    void setFont(const Font& f);
    Color textColor() const { return textColor_; }
    void setTextColor(const Color& c);
    Color highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(const Color& c);
    // No shadow while the shadow colour is clear.
    Color shadowColor() const { return shadowColor_; }
    void setShadowColor(const Color& c);
    Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(Size s);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a);
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode m);
    // 0: as many lines as fit.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int n);
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool a);
    double minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(double s);
    BaselineAdjustment baselineAdjustment() const { return baselineAdjustment_; }
    void setBaselineAdjustment(BaselineAdjustment b);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h);

    // The font used to draw in the bounds: the font, or for one line with
    // adjustsFontSizeToFitWidth, the largest size down to the minimum that fits.
    Font fontForBounds(const Rect& bounds) const;
    // Where the text goes: full width, measured height, centred vertically
    // (a shrunk line is placed by the baseline adjustment).
    virtual Rect textRectForBounds(const Rect& bounds, int numberOfLines) const;
    virtual void drawTextInRect(const Rect& rect);

    Size sizeThatFits(Size size) const override;
    void drawRect(const Rect& rect) override;
    std::string displayedText() const override { return text_; }

private:
    std::string text_;
    Font font_ = Font::systemFont(17);
    Color textColor_ = Color::blackColor();
    Color highlightedTextColor_;
    Color shadowColor_;
    Size shadowOffset_{0, -1};
    TextAlignment alignment_ = TextAlignment::Left;
    LineBreakMode lineBreakMode_ = LineBreakMode::TailTruncation;
    int numberOfLines_ = 1;
    bool adjustsFontSize_ = false;
    double minimumFontSize_ = 0;
    BaselineAdjustment baselineAdjustment_ = BaselineAdjustment::AlignBaselines;
    bool enabled_ = true;
    bool highlighted_ = false;
};

// A view that shows a picture, placed by its content mode.
class ImageView : public View {
public:
    explicit ImageView(const Rect& frame = {});
    explicit ImageView(ImageRef image);
    static std::shared_ptr<ImageView> create(ImageRef image) { return std::make_shared<ImageView>(std::move(image)); }
    const char* className() const override { return "ImageView"; }

    const ImageRef& image() const { return image_; }
    void setImage(ImageRef image);
    void setContentMode(ContentMode m) override;
    Size sizeThatFits(Size size) const override;

private:
    void update();
    ImageRef image_;
};

}  // namespace ui
