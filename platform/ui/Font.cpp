#include "platform/ui/Font.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "platform/ui/PangoSupport.h"

namespace ui {

namespace {
// Latin letters from a face with the proportions of the phone's sans, with a
// real bold; Chinese from the CJK face.
const char* kSystemFamilies = "Liberation Sans,WenQuanYi Micro Hei,sans-serif";
const char* kLatinFamilies = "Liberation Sans,WenQuanYi Micro Hei,sans-serif";

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

struct Metrics {
    double ascent, descent, height;
};

Metrics metricsFor(const Font& f) {
    static thread_local std::map<std::pair<std::string, std::pair<double, bool>>, Metrics> cache;
    auto key = std::make_pair(f.families(), std::make_pair(f.pointSize(), f.isBold()));
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    PangoContext* ctx = detail::measuringContext();
    PangoFontDescription* desc = detail::describe(f);
    PangoFontMetrics* m = pango_context_get_metrics(ctx, desc, pango_language_from_string("zh-cn"));
    Metrics r;
    r.ascent = pango_font_metrics_get_ascent(m) / double(PANGO_SCALE);
    r.descent = pango_font_metrics_get_descent(m) / double(PANGO_SCALE);
    int h = pango_font_metrics_get_height(m);
    r.height = h > 0 ? h / double(PANGO_SCALE) : r.ascent + r.descent;
    pango_font_metrics_unref(m);
    pango_font_description_free(desc);
    cache[key] = r;
    return r;
}

bool familyInstalled(const std::string& name) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoFontFamily** families = nullptr;
    int n = 0;
    pango_font_map_list_families(map, &families, &n);
    bool found = false;
    for (int i = 0; i < n && !found; ++i) found = lower(pango_font_family_get_name(families[i])) == lower(name);
    g_free(families);
    return found;
}
}  // namespace

Font Font::systemFont(double size) { return Font(".SystemFont", kSystemFamilies, size, false); }
Font Font::boldSystemFont(double size) { return Font(".SystemFont-Bold", kSystemFamilies, size, true); }

std::optional<Font> Font::withName(const std::string& name, double size) {
    static const std::map<std::string, std::pair<const char*, bool>> known = {
        {"helvetica", {kLatinFamilies, false}},
        {"helvetica-bold", {kLatinFamilies, true}},
        {"helveticaneue", {kLatinFamilies, false}},
        {"helveticaneue-bold", {kLatinFamilies, true}},
        {"helveticaneue-light", {kLatinFamilies, false}},
        {"arial", {kLatinFamilies, false}},
        {"arialmt", {kLatinFamilies, false}},
        {"arial-boldmt", {kLatinFamilies, true}},
        {"stheitisc-light", {kSystemFamilies, false}},
        {"stheitisc-medium", {kSystemFamilies, true}},
    };
    auto it = known.find(lower(name));
    if (it != known.end()) return Font(name, it->second.first, size, it->second.second);
    if (!name.empty() && familyInstalled(name)) return Font(name, name + ",WenQuanYi Micro Hei", size, false);
    return std::nullopt;
}

double Font::ascender() const { return metricsFor(*this).ascent; }
double Font::descender() const { return -metricsFor(*this).descent; }
double Font::lineHeight() const { return metricsFor(*this).height; }

}  // namespace ui
