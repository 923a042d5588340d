#include "platform/ui/Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/foundation/Resetters.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/PangoSupport.h"

namespace ui {

namespace detail {

void configureContext(PangoContext* ctx) {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(ctx, o);
    cairo_font_options_destroy(o);
    pango_context_set_round_glyph_positions(ctx, FALSE);
    pango_context_set_language(ctx, pango_language_from_string("zh-cn"));
}

PangoContext* measuringContext() {
    struct Holder {
        PangoContext* ctx = nullptr;
        ~Holder() {
            if (ctx) g_object_unref(ctx);
        }
    };
    static thread_local Holder holder;
    if (!holder.ctx) {
        holder.ctx = pango_font_map_create_context(pango_cairo_font_map_get_default());
        configureContext(holder.ctx);
    }
    return holder.ctx;
}

PangoFontDescription* describe(const Font& font) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, font.families().c_str());
    pango_font_description_set_weight(d, font.isBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(d, std::max(0.1, font.pointSize()) * PANGO_SCALE);
    return d;
}

static std::string validUtf8(const std::string& text) {
    if (g_utf8_validate(text.data(), gssize(text.size()), nullptr)) return text;
    gchar* fixed = g_utf8_make_valid(text.data(), gssize(text.size()));
    std::string out(fixed);
    g_free(fixed);
    return out;
}

PangoLayout* makeLayout(PangoContext* ctx, const std::string& text, const Font& font, double width, LineBreakMode mode,
                        int maxLines) {
    PangoLayout* l = pango_layout_new(ctx);
    std::string t = validUtf8(text);
    pango_layout_set_text(l, t.c_str(), -1);
    PangoFontDescription* d = describe(font);
    pango_layout_set_font_description(l, d);
    pango_font_description_free(d);
    if (width >= 0) {
        pango_layout_set_width(l, int(std::floor(width * PANGO_SCALE)));
        pango_layout_set_wrap(l, mode == LineBreakMode::CharacterWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
        PangoEllipsizeMode e = PANGO_ELLIPSIZE_NONE;
        if (mode == LineBreakMode::HeadTruncation) e = PANGO_ELLIPSIZE_START;
        if (mode == LineBreakMode::TailTruncation) e = PANGO_ELLIPSIZE_END;
        if (mode == LineBreakMode::MiddleTruncation) e = PANGO_ELLIPSIZE_MIDDLE;
        if (e != PANGO_ELLIPSIZE_NONE && maxLines > 0) {
            pango_layout_set_ellipsize(l, e);
            pango_layout_set_height(l, -maxLines);
        }
    }
    return l;
}

int keptLines(PangoLayout* layout, int maxLines) {
    int n = pango_layout_get_line_count(layout);
    return maxLines > 0 ? std::min(n, maxLines) : n;
}

int linesWithin(PangoLayout* layout, double height) {
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    int n = 0;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        if ((logical.y + logical.height) / double(PANGO_SCALE) > height + 0.5) break;
        ++n;
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    return std::max(1, n);
}

Size linesSize(PangoLayout* layout, int n) {
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    double w = 0, h = 0;
    int i = 0;
    do {
        if (i >= n) break;
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        PangoRectangle lineLogical;
        pango_layout_line_get_extents(line, nullptr, &lineLogical);
        w = std::max(w, lineLogical.width / double(PANGO_SCALE));
        h = (logical.y + logical.height) / double(PANGO_SCALE);
        ++i;
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    return {std::ceil(w), std::ceil(h)};
}

}  // namespace detail

// ---------------------------------------------------------------- pango

Size PangoTextMeasurer::sizeOfLine(const std::string& text, const Font& font) {
    if (text.empty()) return {0, 0};
    PangoLayout* l = detail::makeLayout(detail::measuringContext(), text, font, -1, LineBreakMode::Clip, 0);
    Size s = detail::linesSize(l, detail::keptLines(l, 0));
    g_object_unref(l);
    return s;
}

Size PangoTextMeasurer::sizeWrapped(const std::string& text, const Font& font, double width, LineBreakMode mode,
                                    int maxLines) {
    if (text.empty()) return {0, 0};
    PangoLayout* l = detail::makeLayout(detail::measuringContext(), text, font, std::max(0.0, width), mode, maxLines);
    Size s = detail::linesSize(l, detail::keptLines(l, maxLines));
    g_object_unref(l);
    s.width = std::min(s.width, std::ceil(width));
    return s;
}

Point PangoTextMeasurer::endOfText(const std::string& text, const Font& font, double width, LineBreakMode mode) {
    if (text.empty()) return {0, 0};
    PangoLayout* l = detail::makeLayout(detail::measuringContext(), text, font, std::max(0.0, width), mode, 0);
    // The layout holds the text made valid: its own length is the end.
    PangoRectangle strong;
    pango_layout_get_cursor_pos(l, int(std::strlen(pango_layout_get_text(l))), &strong, nullptr);
    g_object_unref(l);
    return {strong.x / double(PANGO_SCALE), strong.y / double(PANGO_SCALE)};
}

Point TextMeasurer::endOfText(const std::string& text, const Font& font, double width, LineBreakMode mode) {
    if (text.empty()) return {0, 0};
    const double line = lineHeight(font);
    auto lines = [&](size_t bytes) {
        const Size s = sizeWrapped(text.substr(0, bytes), font, width, mode, 0);
        return line > 0 ? long(std::lround(s.height / line)) : 1L;
    };
    // After a final line break the end is the start of an empty line.
    const long all = lines(text.size());
    if (text.back() == '\n') return {0, double(all) * line};
    // The last line starts at the shortest prefix (on a character boundary)
    // that already reaches it.
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    auto through = [&](size_t k) { return k + 1 < starts.size() ? starts[k + 1] : text.size(); };
    size_t lo = 0, hi = starts.size() - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (lines(through(mid)) >= all)
            hi = mid;
        else
            lo = mid + 1;
    }
    const Size last = sizeOfLine(text.substr(starts[lo]), font);
    return {std::min(last.width, width), double(all - 1) * line};
}

// ---------------------------------------------------------------- fake

namespace {
std::vector<std::u32string> splitParagraphs(const std::string& text) {
    std::vector<std::u32string> out(1);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size(), i = 0;
    while (i < n) {
        char32_t c = p[i];
        int len = 1;
        if (c >= 0xF0 && i + 3 < n + 0) {
            c = ((c & 7) << 18) | ((p[i + 1] & 63) << 12) | ((p[i + 2] & 63) << 6) | (p[i + 3] & 63);
            len = 4;
        } else if (c >= 0xE0 && i + 2 < n) {
            c = ((c & 15) << 12) | ((p[i + 1] & 63) << 6) | (p[i + 2] & 63);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < n) {
            c = ((c & 31) << 6) | (p[i + 1] & 63);
            len = 2;
        }
        i += size_t(len);
        if (c == '\n')
            out.emplace_back();
        else
            out.back().push_back(c);
    }
    return out;
}

bool isCjk(char32_t c) { return c >= 0x2E80; }
}  // namespace

Size FixedWidthTextMeasurer::sizeOfLine(const std::string& text, const Font& font) {
    if (text.empty()) return {0, 0};
    auto paras = splitParagraphs(text);
    size_t longest = 0;
    for (auto& p : paras) longest = std::max(longest, p.size());
    return {double(longest) * advance_ * font.pointSize(), double(paras.size()) * lineHeight(font)};
}

Size FixedWidthTextMeasurer::sizeWrapped(const std::string& text, const Font& font, double width, LineBreakMode mode,
                                         int maxLines) {
    if (text.empty()) return {0, 0};
    double adv = advance_ * font.pointSize();
    size_t perLine = adv > 0 ? std::max<size_t>(1, size_t(std::floor(width / adv + 1e-9))) : SIZE_MAX;
    std::vector<size_t> lines;  // character count of each line
    for (auto& para : splitParagraphs(text)) {
        if (para.empty()) {
            lines.push_back(0);
            continue;
        }
        size_t i = 0;
        while (i < para.size()) {
            size_t remaining = para.size() - i;
            if (remaining <= perLine) {
                lines.push_back(remaining);
                break;
            }
            size_t take = perLine;
            if (mode != LineBreakMode::CharacterWrap) {
                // Break after the last space or between CJK characters.
                size_t brk = 0;
                for (size_t k = perLine; k > 0; --k) {
                    char32_t before = para[i + k - 1], after = para[i + k];
                    if (after == ' ' || before == ' ' || isCjk(before) || isCjk(after)) {
                        brk = k;
                        break;
                    }
                }
                if (brk > 0) take = brk;
            }
            size_t shown = take;
            while (shown > 0 && para[i + shown - 1] == ' ') --shown;
            lines.push_back(shown);
            i += take;
            while (i < para.size() && para[i] == ' ') ++i;
        }
    }
    size_t n = maxLines > 0 ? std::min(lines.size(), size_t(maxLines)) : lines.size();
    size_t widest = 0;
    for (size_t k = 0; k < n; ++k) widest = std::max(widest, lines[k]);
    return {std::min(width, double(widest) * adv), double(n) * lineHeight(font)};
}

// ---------------------------------------------------------------- installed measurer

namespace {
std::mutex measurerMutex;
std::shared_ptr<TextMeasurer>& measurerSlot() {
    static std::shared_ptr<TextMeasurer> m = std::make_shared<PangoTextMeasurer>();
    static const bool registered = (foundation::registerResetter("ui.textMeasurer", foundation::ResetPhase::Service,
                                                                 [] { setTextMeasurer(nullptr); }),
                                    true);
    (void)registered;
    return m;
}
}  // namespace

TextMeasurer& textMeasurer() {
    std::lock_guard<std::mutex> lock(measurerMutex);
    return *measurerSlot();
}

void setTextMeasurer(std::shared_ptr<TextMeasurer> m) {
    std::lock_guard<std::mutex> lock(measurerMutex);
    measurerSlot() = m ? std::move(m) : std::make_shared<PangoTextMeasurer>();
}

Size sizeWithFont(const std::string& text, const Font& font) { return textMeasurer().sizeOfLine(text, font); }

Size sizeWithFont(const std::string& text, const Font& font, Size constrained, LineBreakMode mode) {
    TextMeasurer& m = textMeasurer();
    int lines = 0;
    // All of it when its own lines fit (Latin lines are lower than the
    // font's CJK line height, so a count by that height would drop one).
    const Size all = m.sizeWrapped(text, font, constrained.width, mode, 0);
    if (!(constrained.height > 0) || all.height <= constrained.height + 0.5) return all;
    if (std::isfinite(constrained.height) && constrained.height > 0) {
        double lh = m.lineHeight(font);
        lines = lh > 0 ? std::max(1, int(std::floor(constrained.height / lh + 1e-9))) : 0;
    }
    return m.sizeWrapped(text, font, constrained.width, mode, lines);
}

Point endOfText(const std::string& text, const Font& font, double width, LineBreakMode mode) {
    return textMeasurer().endOfText(text, font, width, mode);
}

Size sizeWithFont(const std::string& text, const Font& font, double width, LineBreakMode mode) {
    Size s = textMeasurer().sizeWrapped(
        text, font, width,
        mode == LineBreakMode::CharacterWrap || mode == LineBreakMode::WordWrap ? LineBreakMode::Clip : mode, 1);
    Size line = textMeasurer().sizeOfLine(text, font);
    return {std::min(width, line.width), s.height};
}

// ---------------------------------------------------------------- drawing

static Size drawLayout(GraphicsContext* ctx, const std::string& text, const Rect& rect, const Font& font,
                       LineBreakMode mode, TextAlignment alignment, int maxLines, bool wrap) {
    if (text.empty()) return {};
    Size drawn;
    PangoContext* pctx = pango_cairo_create_context(ctx->cairo());
    detail::configureContext(pctx);
    int limit = maxLines;
    const double width = wrap ? std::max(0.0, rect.width()) : -1;
    PangoLayout* l = detail::makeLayout(pctx, text, font, width, mode, limit);
    if (wrap && rect.height() > 0) {
        // The lines whose bottom lies inside the rectangle, by the layout's
        // own lines (Latin lines are lower than the font's CJK line height),
        // at least one.
        const int fit = detail::linesWithin(l, rect.height());
        if (fit < detail::keptLines(l, limit)) {
            limit = fit;
            // Again with the limit, so a truncating mode ends the last line
            // kept with its ellipsis.
            g_object_unref(l);
            l = detail::makeLayout(pctx, text, font, width, mode, limit);
        }
    }
    if (wrap) {
        PangoAlignment a = alignment == TextAlignment::Center  ? PANGO_ALIGN_CENTER
                           : alignment == TextAlignment::Right ? PANGO_ALIGN_RIGHT
                                                               : PANGO_ALIGN_LEFT;
        pango_layout_set_alignment(l, a);
    }
    int kept = detail::keptLines(l, limit);
    drawn = detail::linesSize(l, kept);
    Color color = ctx->fillColor();
    ctx->paint([&](cairo_t* cr) {
        cairo_save(cr);
        if (wrap && mode == LineBreakMode::Clip) {
            cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), std::max(rect.height(), drawn.height));
            cairo_clip(cr);
        }
        setCairoSource(cr, color);
        PangoLayoutIter* it = pango_layout_get_iter(l);
        int i = 0;
        do {
            if (i >= kept) break;
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            int baseline = pango_layout_iter_get_baseline(it);
            PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
            cairo_move_to(cr, rect.x() + logical.x / double(PANGO_SCALE), rect.y() + baseline / double(PANGO_SCALE));
            pango_cairo_show_layout_line(cr, line);
            ++i;
        } while (pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        cairo_restore(cr);
    });
    g_object_unref(l);
    g_object_unref(pctx);
    return drawn;
}

Size drawText(const std::string& text, const Rect& rect, const Font& font, LineBreakMode mode, TextAlignment alignment,
              int maxLines) {
    GraphicsContext* ctx = currentContext();
    if (!ctx) return {};
    return drawLayout(ctx, text, rect, font, mode, alignment, maxLines, true);
}

Size drawText(const std::string& text, Point point, const Font& font) {
    GraphicsContext* ctx = currentContext();
    if (!ctx) return {};
    return drawLayout(ctx, text, Rect{point, Size{}}, font, LineBreakMode::Clip, TextAlignment::Left, 0, false);
}

}  // namespace ui
