#include "platform/shell/ViewList.h"

#include <cmath>

namespace shell {

namespace {

// Whether `a` is drawn in front of `b`: neither holds the other, and where
// their ways up to the window part, `a`'s branch comes later.
bool isInFront(ui::View* a, ui::View* b) {
    if (a == b || a->isDescendantOfView(b) || b->isDescendantOfView(a)) return false;
    std::vector<ui::View*> upA, upB;
    for (ui::View* v = a; v; v = v->superview()) upA.insert(upA.begin(), v);
    for (ui::View* v = b; v; v = v->superview()) upB.insert(upB.begin(), v);
    size_t i = 0;
    while (i < upA.size() && i < upB.size() && upA[i] == upB[i]) ++i;
    if (i == 0 || i >= upA.size() || i >= upB.size()) return false;  // different windows
    const auto& siblings = upA[i - 1]->subviews();
    auto indexOf = [&](ui::View* v) {
        for (size_t k = 0; k < siblings.size(); ++k)
            if (siblings[k].get() == v) return k;
        return siblings.size();
    };
    return indexOf(upA[i]) > indexOf(upB[i]);
}

}  // namespace

std::vector<ui::View*> visibleViews(ui::View& root, const std::function<bool(ui::View*)>& pred) {
    std::vector<ui::View*> out;
    std::function<void(ui::View*)> walk = [&](ui::View* v) {
        if (v->isHidden() || v->alpha() <= 0) return;
        if (pred(v)) out.push_back(v);
        for (auto& s : v->subviews()) walk(s.get());
    };
    walk(&root);
    return out;
}

std::string describeVisibleTexts(ui::View& root) {
    std::string out;
    auto line = [&](ui::View* v, const std::string& text, bool label) {
        ui::Rect r = v->convertRectToView(v->bounds(), nullptr);
        out += std::to_string(std::lround(r.origin.x)) + " " + std::to_string(std::lround(r.origin.y)) + " " +
               std::to_string(std::lround(r.size.width)) + " " + std::to_string(std::lround(r.size.height));
        // A tap on the view's centre would reach another view in front of it.
        ui::View* hit = root.hitTest(root.convertPointFromView(r.center(), nullptr), nullptr);
        if (hit && isInFront(hit, v)) out += " covered";
        if (label) out += " label";
        out += "\t";
        for (char c : text) {
            if (c == '\\')
                out += "\\\\";
            else if (c == '\n')
                out += "\\n";
            else
                out += c;
        }
        out += '\n';
    };
    for (ui::View* v : visibleViews(
             root, [](ui::View* v) { return !v->displayedText().empty() || !v->accessibilityLabel().empty(); })) {
        if (!v->displayedText().empty()) line(v, v->displayedText(), false);
        if (!v->accessibilityLabel().empty()) line(v, v->accessibilityLabel(), true);
    }
    return out;
}

}  // namespace shell
