#pragma once
// What the quick nine-star sheet shows until the nine-star screen is in the
// map: the sheet's background and a line saying where to find the code.

#include "platform/ui/ViewController.h"

class QuickJiuXingStandIn : public ui::ViewController {
public:
    const char* className() const override { return "QuickJiuXingStandIn"; }
    void viewDidLoad() override;
};
