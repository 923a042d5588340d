#pragma once
// Shared pango set-up: one context per thread with fixed font options, so
// that measuring and drawing agree.

#include <pango/pangocairo.h>

#include <string>

#include "platform/ui/Font.h"
#include "platform/ui/Text.h"

namespace ui::detail {

// The thread's measuring context (owned by the thread).
PangoContext* measuringContext();
// Applies the fixed font options to a context.
void configureContext(PangoContext* ctx);
PangoFontDescription* describe(const Font& font);  // caller frees

// A layout of the text for the font. width < 0: no wrapping.
PangoLayout* makeLayout(PangoContext* ctx, const std::string& text, const Font& font, double width, LineBreakMode mode,
                        int maxLines);
// Number of lines to keep: all, or maxLines when > 0.
int keptLines(PangoLayout* layout, int maxLines);
// Number of lines whose bottom lies within the height (at least one).
int linesWithin(PangoLayout* layout, double height);
// Logical size of the first n lines, in points.
Size linesSize(PangoLayout* layout, int n);

}  // namespace ui::detail
