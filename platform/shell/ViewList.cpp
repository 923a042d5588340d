#include "platform/shell/ViewList.h"

#include <cmath>

namespace shell {

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
    for (ui::View* v : visibleViews(root, [](ui::View* v) { return !v->displayedText().empty(); })) {
        ui::Rect r = v->convertRectToView(v->bounds(), nullptr);
        out += std::to_string(std::lround(r.origin.x)) + " " + std::to_string(std::lround(r.origin.y)) + " " +
               std::to_string(std::lround(r.size.width)) + " " + std::to_string(std::lround(r.size.height)) + "\t";
        for (char c : v->displayedText()) {
            if (c == '\\')
                out += "\\\\";
            else if (c == '\n')
                out += "\\n";
            else
                out += c;
        }
        out += '\n';
    }
    return out;
}

}  // namespace shell
