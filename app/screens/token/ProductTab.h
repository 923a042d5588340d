#pragma once
// A screen that the product tab container shows as one of its tabs. The
// container adds the tab's view to its own and tells the tab who hosts it
// (not owned); the tab puts its notices on the container's view then.

#include "platform/ui/ViewController.h"

class ProductTab {
public:
    virtual ~ProductTab() = default;
    ui::ViewController* parent() const { return parent_; }
    void setParent(ui::ViewController* parent) { parent_ = parent; }

private:
    ui::ViewController* parent_ = nullptr;
};
