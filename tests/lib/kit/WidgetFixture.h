#pragma once
// A headless window holding a 320 x 480 host view, with text measured at a
// fixed width (0.5 x the point size per character, 1.25 x per line) so sizes
// that follow the text are exact.

#include <gtest/gtest.h>

#include <memory>

#include "platform/shell/Driver.h"
#include "platform/ui/Text.h"
#include "platform/ui/View.h"

namespace kittest {

class WidgetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setTextMeasurer(std::make_shared<ui::FixedWidthTextMeasurer>());
        driver = std::make_unique<shell::Driver>();
        host = ui::View::create({0, 0, 320, 480});
        driver->window().addSubview(host);
    }
    void TearDown() override {
        host->removeFromSuperview();
        driver.reset();
    }
    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ui::View> host;
};

}  // namespace kittest
