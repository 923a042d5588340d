#pragma once
// A bar of bar button items laid out left to right; flexible spaces share
// the room left over, fixed spaces take their width.

#include <memory>
#include <vector>

#include "platform/ui/Navigation.h"

namespace ui {

class Toolbar : public View {
public:
    static constexpr double kHeight = 44;
    explicit Toolbar(const Rect& frame = {0, 0, 320, kHeight});
    const char* className() const override { return "Toolbar"; }

    const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
    void setItems(const std::vector<std::shared_ptr<BarButtonItem>>& items, bool animated = false);
    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle s) {
        barStyle_ = s;
        setNeedsDisplay();
    }
    // The view shown for the item (nullptr for spaces and unknown items).
    View* viewForItem(const BarButtonItem* item) const;

    void layoutSubviews() override;
    void drawRect(const Rect& rect) override;

private:
    std::vector<std::shared_ptr<BarButtonItem>> items_;
    std::vector<std::shared_ptr<View>> views_;  // parallel to items_, null for spaces
    BarStyle barStyle_ = BarStyle::Default;
};

}  // namespace ui
