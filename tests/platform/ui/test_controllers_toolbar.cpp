// Toolbars: items left to right with flexible spaces sharing the room.

#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using namespace ui;

using ToolbarTest = uitest::UiFixture;

TEST_F(ToolbarTest, FlexibleSpacePushesTheLastItemToTheRightEdge) {
    auto bar = std::make_shared<Toolbar>(Rect{0, 0, 320, 54});
    bar->setBarStyle(BarStyle::Black);
    int cancels = 0, infos = 0;
    auto cancel = BarButtonItem::withSystemItem(BarButtonSystemItem::Cancel, [&](BarButtonItem*) { ++cancels; });
    auto info = Button::buttonWithType(ButtonType::InfoLight);
    info->addTarget(
        nullptr, [&](Control*, const Event*) { ++infos; }, kControlEventTouchUpInside);
    auto infoItem = BarButtonItem::withCustomView(info);
    auto space = BarButtonItem::withSystemItem(BarButtonSystemItem::FlexibleSpace, nullptr);
    bar->setItems({cancel, space, infoItem});
    bar->layoutIfNeeded();
    View* cancelView = bar->viewForItem(cancel.get());
    ASSERT_NE(cancelView, nullptr);
    EXPECT_EQ(bar->viewForItem(space.get()), nullptr);
    EXPECT_DOUBLE_EQ(cancelView->frame().x(), 6);
    EXPECT_DOUBLE_EQ(info->frame().maxX(), 320 - 6);
    EXPECT_DOUBLE_EQ(info->frame().midY(), 27);
    EXPECT_EQ(cancelView->displayedText(), "Cancel");

    auto window = Window::create({0, 0, 320, 480});
    window->addSubview(bar);
    for (View* v : {cancelView, static_cast<View*>(info.get())}) {
        Point p = v->convertPointToView(v->bounds().center(), nullptr);
        window->sendTouch(TouchPhase::Began, p, 0);
        window->sendTouch(TouchPhase::Ended, p, 0.1);
    }
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(infos, 1);
    bar->setItems({infoItem});
    EXPECT_EQ(cancelView->superview(), nullptr);
}

}  // namespace
