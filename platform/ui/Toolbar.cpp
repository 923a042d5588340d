#include "platform/ui/Toolbar.h"

#include <algorithm>

#include "platform/ui/GraphicsContext.h"

namespace ui {

namespace {
constexpr double kMargin = 6;
constexpr double kGap = 10;

bool isSpace(const BarButtonItem& item) {
    return item.isSystemItem() && (item.systemItem() == BarButtonSystemItem::FlexibleSpace ||
                                   item.systemItem() == BarButtonSystemItem::FixedSpace);
}
}  // namespace

Toolbar::Toolbar(const Rect& frame) : View(frame) { setAutoresizingMask(kAutoresizingFlexibleWidth); }

void Toolbar::setItems(const std::vector<std::shared_ptr<BarButtonItem>>& items, bool) {
    for (auto& v : views_)
        if (v) v->removeFromSuperview();
    items_.clear();
    views_.clear();
    for (const auto& item : items) {
        if (!item) continue;
        items_.push_back(item);
        std::shared_ptr<View> v = isSpace(*item) ? nullptr : item->barView();
        if (v) addSubview(v);
        views_.push_back(v);
    }
    setNeedsLayout();
}

View* Toolbar::viewForItem(const BarButtonItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return views_[i].get();
    return nullptr;
}

void Toolbar::layoutSubviews() {
    Rect b = bounds();
    double used = 0;
    int flexible = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& item = *items_[i];
        if (item.isSystemItem() && item.systemItem() == BarButtonSystemItem::FlexibleSpace) {
            ++flexible;
            continue;
        }
        used += views_[i] ? views_[i]->bounds().width() : item.width();
    }
    int gaps = std::max(0, int(items_.size()) - 1);
    double room = b.width() - 2 * kMargin - used - gaps * kGap;
    double each = flexible > 0 ? std::max(0.0, room / flexible) : 0;
    double x = kMargin;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& item = *items_[i];
        double w;
        if (item.isSystemItem() && item.systemItem() == BarButtonSystemItem::FlexibleSpace) {
            w = each;
        } else if (views_[i]) {
            Size s = views_[i]->bounds().size;
            w = s.width;
            views_[i]->setFrame({std::round(x), std::round(b.midY() - s.height / 2), s.width, s.height});
        } else {
            w = item.width();
        }
        x += w + kGap;
    }
}

void Toolbar::drawRect(const Rect&) {
    auto* ctx = currentContext();
    if (!ctx) return;
    Rect b = bounds();
    bool black = barStyle_ != BarStyle::Default;
    Color top = black ? Color::white(0.25) : Color::rgba(0.6, 0.66, 0.74);
    Color bottom = black ? Color::white(0.05) : Color::rgba(0.43, 0.52, 0.64);
    ctx->drawLinearGradient(Gradient::withColors({top, bottom}), {0, 0}, {0, b.height()}, 0);
}

}  // namespace ui
