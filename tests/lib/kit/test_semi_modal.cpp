// The semi-modal sheet over the outermost controller's view: what a
// presentation adds and where it moves, taps inside and outside the sheet,
// and dismissals with and without a sheet.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "lib/kit/SemiModal.h"
#include "platform/foundation/Resetters.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

namespace {

class SemiModalTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = std::make_unique<shell::Driver>();
        root = std::make_shared<ui::ViewController>();
        root->view()->setFrame({0, 0, 320, 480});
        root->view()->setBackgroundColor(ui::Color::redColor());
        driver->window().addSubview(root->viewRef());
        child = std::make_shared<ui::ViewController>();
        root->addChildViewController(child);
        child->view()->setFrame({0, 100, 320, 200});
        root->view()->addSubview(child->viewRef());
        child->didMoveToParentViewController(root.get());
        sheet = ui::View::create({0, 0, 320, 295});
        sheet->setBackgroundColor(ui::Color::blueColor());
        driver->settle();
    }
    void TearDown() override {
        root->view()->removeFromSuperview();
        driver.reset();
    }
    ui::View* target() { return root->view(); }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ui::ViewController> root, child;
    std::shared_ptr<ui::View> sheet;
};

TEST_F(SemiModalTest, TheSheetSlidesUpOverAPushedBackPictureOfTheScreen) {
    EXPECT_EQ(parentTarget(child.get()), target());
    const size_t before = target()->subviews().size();
    presentSemiView(child.get(), sheet);
    driver->settle();

    ASSERT_EQ(target()->subviews().size(), before + 2);
    ui::View* overlay = target()->subviews()[before].get();
    EXPECT_EQ(target()->subviews().back(), sheet);
    EXPECT_EQ(semiModalSheet(target()), sheet.get());
    EXPECT_EQ(semiModalOverlay(target()), overlay);
    EXPECT_EQ(overlay->frame(), ui::Rect(0, 0, 320, 480));
    ASSERT_EQ(overlay->subviews().size(), 2u);
    auto* picture = dynamic_cast<ui::ImageView*>(overlay->subviews()[0].get());
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(picture->image());
    EXPECT_EQ(picture->image()->size(), ui::Size(320, 480));
    EXPECT_EQ(overlay->subviews()[1]->frame(), ui::Rect(0, 0, 320, 480 - 295)) << "the dismiss area";
    EXPECT_NE(picture->layer().animationForKey(semimodal::kPushedBackAnimationKey), nullptr);
    EXPECT_EQ(sheet->layer().shadowOffset(), ui::Size(0, -2));
    EXPECT_EQ(sheet->layer().shadowRadius(), 5);
    EXPECT_DOUBLE_EQ(sheet->layer().shadowOpacity(), 0.8);

    // The sheet moves from below the screen to its place in half a second.
    EXPECT_EQ(sheet->frame(), ui::Rect(0, 185, 320, 295));
    EXPECT_DOUBLE_EQ(sheet->layer().presentationState().frame().y(), 480);
    driver->advance(0.25);
    double halfway = sheet->layer().presentationState().frame().y();
    EXPECT_GT(halfway, 185);
    EXPECT_LT(halfway, 480);
    driver->advance(0.3);
    EXPECT_DOUBLE_EQ(sheet->layer().presentationState().frame().y(), 185);
    EXPECT_DOUBLE_EQ(picture->layer().presentationState().opacity, 0.5);
    // The picture rests pushed back: lifted by 8% of the height and shrunk.
    ui::Transform3D back;
    back.m34 = -1.0 / 900;
    back = back.translate(0, -0.08 * 480, 0).scale(0.8, 0.8, 1);
    ui::Transform3D shown = picture->layer().presentationState().transform;
    EXPECT_NEAR(shown.m11, back.m11, 1e-9);
    EXPECT_NEAR(shown.m42, back.m42, 1e-9);
    EXPECT_NEAR(shown.m34, back.m34, 1e-12);

    // Read back: the sheet is drawn at its place, the screen behind is dimmed.
    auto shot = driver->snapshot();
    ui::Rgba onSheet = shot->pixel(160, 400);
    EXPECT_EQ(onSheet.b, 255);
    EXPECT_EQ(onSheet.r, 0);
    ui::Rgba behind = shot->pixel(160, 150);
    EXPECT_LT(behind.r, 160) << "the picture of the screen is dimmed";

    // The same view again adds nothing.
    presentSemiView(child.get(), sheet);
    EXPECT_EQ(target()->subviews().size(), before + 2);
}

TEST_F(SemiModalTest, ATapAboveTheSheetDismissesItATapOnItDoesNot) {
    const auto original = target()->subviews();
    presentSemiView(child.get(), sheet);
    driver->advance(0.6);
    ui::View* overlay = semiModalOverlay(target());
    ASSERT_NE(overlay, nullptr);

    driver->tap(ui::Point{160, 300});
    EXPECT_EQ(semiModalSheet(target()), sheet.get()) << "a tap on the sheet keeps it";

    driver->tap(ui::Point{160, 100});
    EXPECT_EQ(semiModalSheet(target()), nullptr);
    EXPECT_NE(overlay->subviews()[0]->layer().animationForKey(semimodal::kBringForwardAnimationKey), nullptr);
    EXPECT_EQ(sheet->frame().y(), 480);
    driver->advance(0.25);
    EXPECT_EQ(target()->subviews().size(), original.size() + 2) << "the sheet is still sliding away";
    driver->advance(0.3);
    EXPECT_EQ(target()->subviews(), original) << "exactly the two added views are gone";
    EXPECT_EQ(sheet->superview(), nullptr);
}

TEST_F(SemiModalTest, DismissingWithoutASheetLeavesTheScreenAlone) {
    auto extra = ui::View::create({0, 0, 10, 10});
    target()->addSubview(extra);
    const auto original = target()->subviews();
    dismissSemiModalView(child.get());
    driver->advance(1);
    EXPECT_EQ(target()->subviews(), original);

    // A second dismissal while the first slides away takes nothing else.
    presentSemiView(child.get(), sheet);
    driver->advance(0.6);
    dismissSemiModalView(child.get());
    dismissSemiModalView(child.get());
    driver->advance(1);
    EXPECT_EQ(target()->subviews(), original);
    dismissSemiModalView(nullptr);
}

TEST_F(SemiModalTest, APresentedControllerLivesWhileItsViewIsShown) {
    auto sheetController = std::make_shared<ui::ViewController>();
    sheetController->view()->setFrame({0, 0, 320, 295});
    std::weak_ptr<ui::ViewController> weak = sheetController;
    presentSemiViewController(root.get(), sheetController);
    sheetController.reset();
    driver->advance(0.6);
    ASSERT_FALSE(weak.expired());
    EXPECT_EQ(semiModalSheet(target()), weak.lock()->view());
    dismissSemiModalView(root.get());
    driver->advance(0.6);
    EXPECT_TRUE(weak.expired());
}

TEST_F(SemiModalTest, AResetBetweenCasesLetsAShownControllerGo) {
    auto sheetController = std::make_shared<ui::ViewController>();
    sheetController->view()->setFrame({0, 0, 320, 295});
    std::weak_ptr<ui::ViewController> weak = sheetController;
    presentSemiViewController(root.get(), sheetController);
    sheetController.reset();
    driver->advance(0.6);
    ASSERT_FALSE(weak.expired());
    // A case that ends with the sheet still up leaves no controller behind.
    foundation::resetProcessWideObjects();
    EXPECT_TRUE(weak.expired());
}

}  // namespace
