#include <gtest/gtest.h>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/menus/GxMenu.h"
#include "lib/engine2d/nodes/GxScene.h"
#include "platform/gl/Context.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Application.h"

using namespace engine2d;

namespace {

TEST(MenuTaps, ATapOnTheGLViewReachesTheMenuThroughTheDirectorsDispatcher) {
    if (!gl::Context::available()) GTEST_SKIP() << "no EGL display: " << gl::Context::lastError();
    shell::Driver driver({320, 480}, 1);
    auto view = GxGLView::viewWithFrame({0, 0, 320, 480}, kGxColorFormatRGBA8);
    ASSERT_NE(view, nullptr);
    driver.window().addSubview(view);
    auto& director = GxDirector::sharedDirector();
    director.setView(view);
    EXPECT_EQ(view->touchDelegate(), director.touchDispatcher().get());

    int taps = 0;
    auto box = GxNode::node();
    box->setContentSize(Size{100, 40});
    auto item = GxMenuItemSprite::itemWithNormalSprite(box, nullptr, nullptr, [&](GxMenuItem*) { ++taps; });
    auto menu = GxMenu::menuWithArray({item});
    auto scene = gxMake<GxScene>();
    scene->addChild(menu);
    director.runWithScene(scene);
    director.drawScene();
    ASSERT_EQ(director.touchDispatcher()->targetedHandlers().size(), 1u);

    // The item is centred on the menu, which sits below the status bar.
    double statusBar = ui::Application::shared().statusBarFrame().size.height;
    double centreY = 480 - (480 - statusBar) / 2;
    driver.tap(ui::Point{160, centreY});
    EXPECT_EQ(taps, 1);
    driver.tap(ui::Point{160 + 60, centreY});  // beside the item
    EXPECT_EQ(taps, 1);

    director.end();
    EXPECT_TRUE(director.touchDispatcher()->targetedHandlers().empty());
    gl::Context::clearCurrent();
}

}  // namespace
