#pragma once
// A full-window layer of menu items. It tracks one touch at a time (a
// targeted, swallowing receiver at priority -128), highlights the item under
// the finger and activates the item the finger is lifted over; it lays its
// items out in a column, a row or a grid, and passes colour and opacity on.

#include <memory>
#include <vector>

#include "lib/engine2d/menus/GxMenuItem.h"
#include "lib/engine2d/nodes/GxScene.h"

namespace engine2d {

enum GxMenuState { kGxMenuStateWaiting = 0, kGxMenuStateTrackingTouch = 1 };
constexpr int kGxMenuHandlerPriority = -128;

class GxMenu : public GxLayer, public GxRGBAProtocol {
public:
    static std::shared_ptr<GxMenu> menuWithArray(std::vector<std::shared_ptr<GxMenuItem>> items);
    bool init() override { return init({}); }
    bool init(std::vector<std::shared_ptr<GxMenuItem>> items);
    const char* className() const override { return "GxMenu"; }

    void registerWithTouchDispatcher() override;
    void setHandlerPriority(int priority);
    void onExit() override;

    // The first visible, enabled item under the touch in child order.
    GxMenuItem* itemForTouch(const GxTouch& touch);
    bool gxTouchBegan(const GxTouch& touch, const ui::Event& event) override;
    void gxTouchMoved(const GxTouch& touch, const ui::Event& event) override;
    void gxTouchEnded(const GxTouch& touch, const ui::Event& event) override;
    void gxTouchCancelled(const GxTouch& touch, const ui::Event& event) override;

    void alignItemsVertically() { alignItemsVerticallyWithPadding(5); }
    void alignItemsVerticallyWithPadding(float padding);
    void alignItemsHorizontally() { alignItemsHorizontallyWithPadding(5); }
    void alignItemsHorizontallyWithPadding(float padding);
    // Items per row, from the top; a count of 0 counts as 1. Items beyond
    // what the counts cover are left where they are.
    void alignItemsInColumns(const std::vector<unsigned>& counts);
    // Items per column, from the left; the same rules.
    void alignItemsInRows(const std::vector<unsigned>& counts);

    gxColor3B color() const override { return color_; }
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override { return opacity_; }
    void setOpacity(uint8_t o) override;
    bool enabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    int state() const { return state_; }
    GxMenuItem* selectedItem() const { return selectedItem_; }

private:
    std::vector<GxMenuItem*> items() const;

    int state_ = kGxMenuStateWaiting;
    GxMenuItem* selectedItem_ = nullptr;
    uint8_t opacity_ = 0;
    gxColor3B color_{0, 0, 0};
    bool enabled_ = true;
};

}  // namespace engine2d
