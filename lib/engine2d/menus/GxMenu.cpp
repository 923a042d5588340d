#include "lib/engine2d/menus/GxMenu.h"

#include <algorithm>
#include <cstdio>

#include "lib/engine2d/nodes/GxEnvironment.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"

namespace engine2d {

std::shared_ptr<GxMenu> GxMenu::menuWithArray(std::vector<std::shared_ptr<GxMenuItem>> items) {
    return gxMake<GxMenu>(std::move(items));
}

bool GxMenu::init(std::vector<std::shared_ptr<GxMenuItem>> items) {
    if (!GxLayer::init()) return false;
    isTouchEnabled_ = true;
    enabled_ = true;
    state_ = kGxMenuStateWaiting;
    selectedItem_ = nullptr;
    Size win = GxEnvironment::shared().winSize;
    setIgnoreAnchorPointForPosition(true);
    setAnchorPoint(Point{0.5f, 0.5f});
    setContentSize(win);
    float statusBar = float(ui::Application::shared().statusBarFrame().size.height);
    setPosition(Point{win.width / 2, (win.height - statusBar) / 2});
    int z = 0;
    for (auto& item : items)
        if (item) addChild(item, z++);
    return true;
}

void GxMenu::registerWithTouchDispatcher() {
    GxEnvironment::shared().touchDispatcher().addTargetedDelegate(std::static_pointer_cast<GxMenu>(shared_from_this()),
                                                                  kGxMenuHandlerPriority, true);
}

void GxMenu::setHandlerPriority(int priority) { GxEnvironment::shared().touchDispatcher().setPriority(priority, this); }

void GxMenu::onExit() {
    if (state_ == kGxMenuStateTrackingTouch) {
        if (selectedItem_) selectedItem_->unselected();
        state_ = kGxMenuStateWaiting;
        selectedItem_ = nullptr;
    }
    GxLayer::onExit();
}

std::vector<GxMenuItem*> GxMenu::items() const {
    std::vector<GxMenuItem*> out;
    if (children_)
        for (auto& c : children_->slots())
            if (auto* i = dynamic_cast<GxMenuItem*>(c.get())) out.push_back(i);
    return out;
}

GxMenuItem* GxMenu::itemForTouch(const GxTouch& touch) {
    if (!touch) return nullptr;
    for (GxMenuItem* item : items()) {
        if (!item->visible() || !item->isEnabled()) continue;
        Point local = item->convertTouchToNodeSpace(*touch);
        Size s = item->rect().size;
        if (local.x >= 0 && local.y >= 0 && local.x < s.width && local.y < s.height) return item;
    }
    return nullptr;
}

bool GxMenu::gxTouchBegan(const GxTouch& touch, const ui::Event&) {
    if (state_ != kGxMenuStateWaiting || !visible_ || !enabled_) return false;
    for (auto p = parent(); p; p = p->parent())
        if (!p->visible()) return false;
    selectedItem_ = itemForTouch(touch);
    if (!selectedItem_) return false;
    selectedItem_->selected();
    state_ = kGxMenuStateTrackingTouch;
    return true;
}

void GxMenu::gxTouchMoved(const GxTouch& touch, const ui::Event&) {
    if (state_ != kGxMenuStateTrackingTouch) return;
    GxMenuItem* current = itemForTouch(touch);
    if (current == selectedItem_) return;
    if (selectedItem_) selectedItem_->unselected();
    selectedItem_ = current;
    if (selectedItem_) selectedItem_->selected();
}

void GxMenu::gxTouchEnded(const GxTouch&, const ui::Event&) {
    if (state_ != kGxMenuStateTrackingTouch) return;
    state_ = kGxMenuStateWaiting;
    if (selectedItem_) {
        // Kept alive through the block, which may remove the item.
        auto keep = selectedItem_->shared_from_this();
        selectedItem_->unselected();
        selectedItem_->activate();
    }
}

void GxMenu::gxTouchCancelled(const GxTouch&, const ui::Event&) {
    if (state_ != kGxMenuStateTrackingTouch) return;
    if (selectedItem_) selectedItem_->unselected();
    state_ = kGxMenuStateWaiting;
}

void GxMenu::alignItemsVerticallyWithPadding(float padding) {
    auto all = items();
    if (all.empty()) return;
    float height = -padding;
    for (auto* c : all) height += c->contentSize().height * c->scaleY() + padding;
    float y = height / 2;
    for (auto* c : all) {
        float h = c->contentSize().height * c->scaleY();
        c->setPosition(Point{0, y - h / 2});
        y -= h + padding;
    }
}

void GxMenu::alignItemsHorizontallyWithPadding(float padding) {
    auto all = items();
    if (all.empty()) return;
    float width = -padding;
    for (auto* c : all) width += c->contentSize().width * c->scaleX() + padding;
    float x = -width / 2;
    for (auto* c : all) {
        float w = c->contentSize().width * c->scaleX();
        c->setPosition(Point{x + w / 2, 0});
        x += w + padding;
    }
}

void GxMenu::alignItemsInColumns(const std::vector<unsigned>& counts) {
    auto all = items();
    if (all.empty()) return;
    auto countAt = [&](size_t row) { return std::max(1u, counts[row]); };
    // Measuring pass: rows as far as the counts go.
    int height = -5;
    size_t row = 0;
    unsigned rowHeight = 0, inRow = 0;
    for (auto* c : all) {
        if (row >= counts.size()) break;
        rowHeight = std::max(rowHeight, unsigned(c->contentSize().height));
        if (++inRow >= countAt(row)) {
            height += int(rowHeight) + 5;
            inRow = rowHeight = 0;
            ++row;
        }
    }
    const float winWidth = GxEnvironment::shared().winSize.width;
    float y = float(height / 2);
    row = 0;
    rowHeight = inRow = 0;
    float w = 0, x = 0;
    size_t placed = 0;
    for (auto* c : all) {
        if (row >= counts.size()) break;
        if (inRow == 0) {
            w = winWidth / float(countAt(row) + 1);
            x = w;
        }
        rowHeight = std::max(rowHeight, unsigned(c->contentSize().height));
        c->setPosition(Point{x - winWidth / 2, y - c->contentSize().height / 2});
        x += w;
        ++placed;
        if (++inRow >= countAt(row)) {
            y -= float(rowHeight) + 5;
            inRow = rowHeight = 0;
            ++row;
        }
    }
    if (placed < all.size())
        foundation::warn("engine2d: GxMenu: %zu items beyond the row counts were left in place", all.size() - placed);
}

void GxMenu::alignItemsInRows(const std::vector<unsigned>& counts) {
    auto all = items();
    if (all.empty()) return;
    auto countAt = [&](size_t col) { return std::max(1u, counts[col]); };
    std::vector<unsigned> columnWidths;
    std::vector<int> columnHeights;
    int width = -10, columnHeight = -5;
    unsigned columnWidth = 0, inColumn = 0;
    size_t column = 0;
    for (auto* c : all) {
        if (column >= counts.size()) break;
        columnWidth = std::max(columnWidth, unsigned(c->contentSize().width));
        columnHeight = int(float(columnHeight) + c->contentSize().height + 5);
        if (++inColumn >= countAt(column)) {
            columnWidths.push_back(columnWidth);
            columnHeights.push_back(columnHeight);
            width += int(columnWidth) + 10;
            inColumn = 0;
            columnWidth = 0;
            columnHeight = -5;
            ++column;
        }
    }
    // A last column the items do not fill is placed by what it holds, outside
    // the measured total.
    if (inColumn > 0) {
        columnWidths.push_back(columnWidth);
        columnHeights.push_back(columnHeight);
    }
    const float winHeight = GxEnvironment::shared().winSize.height;
    float x = float(-width / 2), y = 0;
    column = 0;
    columnWidth = inColumn = 0;
    size_t placed = 0;
    for (auto* c : all) {
        if (column >= counts.size() || column >= columnHeights.size()) break;
        if (inColumn == 0) y = float(columnHeights[column] + int(winHeight)) / 2;
        columnWidth = std::max(columnWidth, unsigned(c->contentSize().width));
        c->setPosition(Point{x + float(columnWidths[column] / 2), y - winHeight / 2});
        y -= c->contentSize().height + 10;
        ++placed;
        if (++inColumn >= countAt(column)) {
            x += float(columnWidth) + 5;
            inColumn = 0;
            columnWidth = 0;
            ++column;
        }
    }
    if (placed < all.size())
        foundation::warn("engine2d: GxMenu: %zu items beyond the column counts were left in place",
                         all.size() - placed);
}

void GxMenu::setColor(gxColor3B c) {
    color_ = c;
    for (auto* i : items())
        if (auto* p = dynamic_cast<GxRGBAProtocol*>(i)) p->setColor(c);
}

void GxMenu::setOpacity(uint8_t o) {
    opacity_ = o;
    for (auto* i : items())
        if (auto* p = dynamic_cast<GxRGBAProtocol*>(i)) p->setOpacity(o);
}

}  // namespace engine2d
