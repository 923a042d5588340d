#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GraphicsContext.h"

namespace ui {

Label::Label(const Rect& frame) : View(frame) {
    setUserInteractionEnabled(false);
    setBackgroundColor(Color::whiteColor());
    setOpaque(true);
    View::setContentMode(ContentMode::Redraw);
}

#define UI_LABEL_SET(member, value)    \
    do {                               \
        if (member == (value)) return; \
        member = (value);              \
        setNeedsDisplay();             \
    } while (0)

void Label::setText(const std::string& t) { UI_LABEL_SET(text_, t); }
void Label::setFont(const Font& f) { UI_LABEL_SET(font_, f); }
void Label::setTextColor(const Color& c) { UI_LABEL_SET(textColor_, c); }
void Label::setHighlightedTextColor(const Color& c) { UI_LABEL_SET(highlightedTextColor_, c); }
void Label::setShadowColor(const Color& c) { UI_LABEL_SET(shadowColor_, c); }
void Label::setShadowOffset(Size s) { UI_LABEL_SET(shadowOffset_, s); }
void Label::setTextAlignment(TextAlignment a) { UI_LABEL_SET(alignment_, a); }
void Label::setLineBreakMode(LineBreakMode m) { UI_LABEL_SET(lineBreakMode_, m); }
void Label::setNumberOfLines(int n) { UI_LABEL_SET(numberOfLines_, std::max(0, n)); }
void Label::setAdjustsFontSizeToFitWidth(bool a) { UI_LABEL_SET(adjustsFontSize_, a); }
void Label::setMinimumFontSize(double s) { UI_LABEL_SET(minimumFontSize_, s); }
void Label::setBaselineAdjustment(BaselineAdjustment b) { UI_LABEL_SET(baselineAdjustment_, b); }
void Label::setEnabled(bool e) { UI_LABEL_SET(enabled_, e); }
void Label::setHighlighted(bool h) { UI_LABEL_SET(highlighted_, h); }

#undef UI_LABEL_SET

Font Label::fontForBounds(const Rect& b) const {
    if (!adjustsFontSize_ || numberOfLines_ != 1 || text_.empty()) return font_;
    double size = font_.pointSize();
    double floorSize = std::max(1.0, minimumFontSize_);
    while (size > floorSize && sizeWithFont(text_, font_.withSize(size)).width > b.width())
        size = std::max(floorSize, size - 1);
    return font_.withSize(size);
}

Rect Label::textRectForBounds(const Rect& b, int lines) const {
    Font f = fontForBounds(b);
    Size s;
    if (lines == 1) {
        Size line = sizeWithFont(text_, f);
        s = {std::min(line.width, b.width()), textMeasurer().lineHeight(f)};
        if (!(f == font_) && baselineAdjustment_ != BaselineAdjustment::AlignCenters) {
            // The line the full-size font would take, centred as usual.
            const double fullTop = b.y() + std::floor((b.height() - textMeasurer().lineHeight(font_)) / 2);
            double top = fullTop;
            if (baselineAdjustment_ == BaselineAdjustment::AlignBaselines) top += font_.ascender() - f.ascender();
            return {b.x(), std::round(top), b.width(), s.height};
        }
    } else {
        double maxHeight = b.height();
        if (lines > 0) maxHeight = std::min(maxHeight, textMeasurer().lineHeight(f) * lines);
        s = sizeWithFont(text_, f, Size{b.width(), maxHeight}, lineBreakMode_);
    }
    return {b.x(), b.y() + std::floor((b.height() - s.height) / 2), b.width(), s.height};
}

void Label::drawTextInRect(const Rect& rect) {
    GraphicsContext* ctx = currentContext();
    if (!ctx || text_.empty()) return;
    Font f = fontForBounds(bounds());
    Color color = (highlighted_ && !highlightedTextColor_.isClear()) ? highlightedTextColor_ : textColor_;
    if (!enabled_) color = color.withAlpha(color.alpha() * 0.44);
    ctx->saveGState();
    ctx->setFillColor(color);
    if (!shadowColor_.isClear()) ctx->setShadow(shadowOffset_, 0, shadowColor_);
    LineBreakMode mode = lineBreakMode_;
    if (numberOfLines_ == 1 && (mode == LineBreakMode::WordWrap || mode == LineBreakMode::CharacterWrap))
        mode = LineBreakMode::Clip;
    drawText(text_, rect, f, mode, alignment_, numberOfLines_);
    ctx->restoreGState();
}

void Label::drawRect(const Rect&) {
    if (text_.empty()) return;
    drawTextInRect(textRectForBounds(bounds(), numberOfLines_));
}

Size Label::sizeThatFits(Size size) const {
    if (text_.empty()) return {0, 0};
    if (numberOfLines_ == 1) {
        Size s = sizeWithFont(text_, font_);
        return {s.width, textMeasurer().lineHeight(font_)};
    }
    double maxHeight = numberOfLines_ > 0 ? textMeasurer().lineHeight(font_) * numberOfLines_ : 1e9;
    double width = size.width > 0 ? size.width : 1e9;
    return sizeWithFont(text_, font_, Size{width, maxHeight}, lineBreakMode_);
}

// ---------------------------------------------------------------- image view

ImageView::ImageView(const Rect& frame) : View(frame) {
    setUserInteractionEnabled(false);
    update();
}

ImageView::ImageView(ImageRef image) : View(image ? Rect{{0, 0}, image->size()} : Rect{}) {
    setUserInteractionEnabled(false);
    image_ = std::move(image);
    update();
}

void ImageView::setImage(ImageRef image) {
    image_ = std::move(image);
    update();
}

void ImageView::setContentMode(ContentMode m) {
    View::setContentMode(m);
    update();
}

void ImageView::update() {
    layer().setContents(image_);
    ContentsGravity g = ContentsGravity::Resize;
    switch (contentMode()) {
        case ContentMode::ScaleAspectFit:
            g = ContentsGravity::ResizeAspect;
            break;
        case ContentMode::ScaleAspectFill:
            g = ContentsGravity::ResizeAspectFill;
            break;
        case ContentMode::Center:
            g = ContentsGravity::Center;
            break;
        case ContentMode::Top:
            g = ContentsGravity::Top;
            break;
        case ContentMode::Bottom:
            g = ContentsGravity::Bottom;
            break;
        case ContentMode::Left:
            g = ContentsGravity::Left;
            break;
        case ContentMode::Right:
            g = ContentsGravity::Right;
            break;
        default:
            break;
    }
    layer().setContentsGravity(g);
}

Size ImageView::sizeThatFits(Size) const { return image_ ? image_->size() : Size{}; }

}  // namespace ui
