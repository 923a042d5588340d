#pragma once
// Measuring and drawing text. Drawing goes through pango; measuring goes
// through the installed measurer, which is pango too unless a test installs
// the fixed-width fake so layout does not depend on fonts.

#include <memory>
#include <string>

#include "platform/ui/Font.h"
#include "platform/ui/Geometry.h"

namespace ui {

enum class LineBreakMode {
    WordWrap = 0,
    CharacterWrap = 1,
    Clip = 2,
    HeadTruncation = 3,
    TailTruncation = 4,
    MiddleTruncation = 5,
};

enum class TextAlignment { Left = 0, Center = 1, Right = 2 };

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // The text on one line, no wrapping (line breaks in the text still break).
    virtual Size sizeOfLine(const std::string& text, const Font& font) = 0;
    // The text wrapped within width (the truncating and clipping modes wrap
    // by word), at most maxLines lines (0: no limit).
    virtual Size sizeWrapped(const std::string& text, const Font& font, double width, LineBreakMode mode,
                             int maxLines) = 0;
    virtual double lineHeight(const Font& font) = 0;
    // Where the text wrapped within width ends: the top left of the place
    // after its last character (the next line's start after a final line
    // break). The measure of prefixes; pango asks its layout.
    virtual Point endOfText(const std::string& text, const Font& font, double width, LineBreakMode mode);
};

// Every character advances advancePerPoint x the point size; a line is
// lineHeightPerPoint x the point size high. Breaks at spaces, between CJK
// characters and, when a word is too long, inside it.
class FixedWidthTextMeasurer : public TextMeasurer {
public:
    explicit FixedWidthTextMeasurer(double advancePerPoint = 0.5, double lineHeightPerPoint = 1.25)
        : advance_(advancePerPoint), line_(lineHeightPerPoint) {}
    Size sizeOfLine(const std::string& text, const Font& font) override;
    Size sizeWrapped(const std::string& text, const Font& font, double width, LineBreakMode mode,
                     int maxLines) override;
    double lineHeight(const Font& font) override { return font.pointSize() * line_; }

private:
    double advance_, line_;
};

class PangoTextMeasurer : public TextMeasurer {
public:
    Size sizeOfLine(const std::string& text, const Font& font) override;
    Size sizeWrapped(const std::string& text, const Font& font, double width, LineBreakMode mode,
                     int maxLines) override;
    double lineHeight(const Font& font) override { return font.lineHeight(); }
    Point endOfText(const std::string& text, const Font& font, double width, LineBreakMode mode) override;
};

TextMeasurer& textMeasurer();
// Installs a measurer (nullptr: back to pango).
void setTextMeasurer(std::shared_ptr<TextMeasurer> measurer);

// One line.
Size sizeWithFont(const std::string& text, const Font& font);
// Wrapped within size.width; only the lines that fit in size.height count
// (at least one).
Size sizeWithFont(const std::string& text, const Font& font, Size constrained, LineBreakMode mode);
// One line, no wider than width.
Size sizeWithFont(const std::string& text, const Font& font, double width, LineBreakMode mode);
// The end of the text wrapped within width (TextMeasurer::endOfText).
Point endOfText(const std::string& text, const Font& font, double width, LineBreakMode mode);

// Draws into the current context with its fill colour, alpha and shadow.
// Lines that do not fit the rectangle's height are left out (the first line
// is always drawn); maxLines 0 means no limit. Returns the size drawn.
Size drawText(const std::string& text, const Rect& rect, const Font& font, LineBreakMode mode, TextAlignment alignment,
              int maxLines = 0);
// One line at the point (its top left).
Size drawText(const std::string& text, Point point, const Font& font);

}  // namespace ui
