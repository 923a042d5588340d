// Drop-down notices: the alert queue with its duplicate rule and timings,
// the advert banner, clean-up, and notices that never act on newer ones.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace {

class WindowDelegate : public ui::ApplicationDelegate {
public:
    explicit WindowDelegate(ui::Window* w) : window_(w) {}
    ui::Window* window() const override { return window_; }

private:
    ui::Window* window_;
};

// The notice's own label and picture (a banner is a button with views of its own).
ui::Label* noticeLabel(const std::shared_ptr<ui::View>& notice) {
    auto* button = dynamic_cast<ui::Button*>(notice.get());
    for (auto& v : notice->subviews())
        if (auto* l = dynamic_cast<ui::Label*>(v.get()); l && (!button || l != button->titleLabel())) return l;
    return nullptr;
}
ui::ImageView* noticeImage(const std::shared_ptr<ui::View>& notice, const ui::ImageRef& picture) {
    for (auto& v : notice->subviews())
        if (auto* i = dynamic_cast<ui::ImageView*>(v.get()); i && i->image() == picture) return i;
    return nullptr;
}
std::string noticeText(const std::shared_ptr<ui::View>& notice) {
    auto* l = noticeLabel(notice);
    return l ? l->text() : "";
}

class NoticeTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = std::make_unique<shell::Driver>();
        ui::Application::shared().setDelegate(std::make_shared<WindowDelegate>(&driver->window()));
        // A screen's view and a view above it, as under a navigation controller.
        screenView = ui::View::create({0, 44, 320, 436});
        above = ui::View::create({0, 0, 320, 44});
        driver->window().addSubview(screenView);
        driver->window().addSubview(above);
        picture = ui::Image::create(320, 25);
    }
    void TearDown() override {
        manager().cleanUpNotificationQueue();
        manager().cleanUpNotificationQueueForAlert();
        driver->settle();
        screenView->removeFromSuperview();
        above->removeFromSuperview();
        driver.reset();
    }
    static DnNotificationManager& manager() { return DnNotificationManager::sharedManager(); }
    void post(const std::optional<std::string>& text) {
        DnNotificationManager::notificationWithMessageForAlert(text, picture, screenView.get());
    }
    std::vector<std::string> alertTexts() const {
        std::vector<std::string> out;
        for (auto& v : manager().notificationQueueForAlert()) out.push_back(noticeText(v));
        return out;
    }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ui::View> screenView, above;
    ui::ImageRef picture;
};

TEST_F(NoticeTest, AlertStripDropsInAboveTheScreenAndLeavesAfterItsStay) {
    post("您的网络不稳定，请稍后再试");
    auto queue = manager().notificationQueueForAlert();
    ASSERT_EQ(queue.size(), 1u);
    auto strip = queue[0];
    // Inserted in the screen view's superview directly above the screen view.
    const auto& siblings = driver->window().subviews();
    auto at = std::find(siblings.begin(), siblings.end(), strip);
    ASSERT_NE(at, siblings.end());
    EXPECT_EQ((at - 1)->get(), screenView.get());
    EXPECT_EQ(strip->frame(), ui::Rect(0, 1.5, 320, 25));  // model value: sliding down
    EXPECT_EQ(strip->layer().presentationState().position.y, -25 + 12.5);
    EXPECT_TRUE(manager().showingNotificationForAlert());

    auto* image = noticeImage(strip, picture);
    ASSERT_TRUE(image);
    EXPECT_DOUBLE_EQ(image->alpha(), 0.8);
    auto* label = noticeLabel(strip);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->font(), ui::Font::systemFont(14));
    EXPECT_EQ(label->textAlignment(), ui::TextAlignment::Center);
    EXPECT_EQ(label->textColor(), ui::Color::rgba(1, 144 / 255.0, 105 / 255.0, 1));
    EXPECT_EQ(label->frame(), ui::Rect(0, 0, 320, 25));

    driver->advance(0.5 + 3.4);
    EXPECT_EQ(strip->frame().y(), 1.5);  // still resting
    driver->advance(0.2);
    EXPECT_EQ(strip->frame().y(), -25);  // sliding up
    EXPECT_NE(strip->superview(), nullptr);
    driver->advance(0.5);
    EXPECT_EQ(strip->superview(), nullptr);
    EXPECT_TRUE(manager().notificationQueueForAlert().empty());
    EXPECT_FALSE(manager().showingNotificationForAlert());
    EXPECT_EQ(DnNotificationManager::lastAlertText(), "");
}

TEST_F(NoticeTest, SecondAlertWaitsForTheFirstToLeave) {
    post("first");
    post("second");
    ASSERT_EQ(alertTexts(), (std::vector<std::string>{"first", "second"}));
    auto second = manager().notificationQueueForAlert()[1];
    EXPECT_EQ(second->frame().y(), -25);
    driver->advance(4.4);
    EXPECT_EQ(second->frame().y(), -25);
    driver->advance(0.2);  // the first has left (0.5 + 3.5 + 0.5): the second drops in
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"second"}));
    EXPECT_EQ(second->frame().y(), 1.5);
    EXPECT_TRUE(manager().showingNotificationForAlert());
}

TEST_F(NoticeTest, RepeatedAndEmptyAlertTextsAreDropped) {
    struct Case {
        const char* name;
        std::vector<std::optional<std::string>> posts;
        std::vector<std::string> queued;
    };
    const Case cases[] = {
        {"nil and empty", {std::nullopt, std::string("")}, {}},
        {"two network failures in a row", {"net", "net"}, {"net"}},
        {"same text behind another", {"a", "b", "b"}, {"a", "b"}},
        {"an earlier text again", {"a", "b", "a"}, {"a", "b", "a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& p : c.posts) post(p);
        EXPECT_EQ(alertTexts(), c.queued);
        manager().cleanUpNotificationQueueForAlert();
    }
}

TEST_F(NoticeTest, SameTextIsAcceptedAgainOnceItsStripHasHidden) {
    post("net");
    driver->advance(4.0);
    post("net");  // still hiding: dropped
    EXPECT_EQ(manager().notificationQueueForAlert().size(), 1u);
    driver->advance(0.6);
    EXPECT_TRUE(manager().notificationQueueForAlert().empty());
    post("net");
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"net"}));
}

TEST_F(NoticeTest, CleanUpRemovesEveryStripAndForgetsTheLastText) {
    post("a");
    post("b");
    auto queued = manager().notificationQueueForAlert();
    manager().cleanUpNotificationQueueForAlert();
    for (auto& v : queued) EXPECT_EQ(v->superview(), nullptr);
    EXPECT_FALSE(manager().showingNotificationForAlert());
    post("b");
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"b"}));
}

TEST_F(NoticeTest, AnOldStripsTimingsNeverHideANewerOne) {
    post("old");
    driver->advance(2.0);
    manager().cleanUpNotificationQueueForAlert();
    post("new");
    auto fresh = manager().notificationQueueForAlert().at(0);
    // The old strip's hide would have come 4 s after it was posted.
    driver->advance(2.5);
    EXPECT_EQ(fresh->frame().y(), 1.5);
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"new"}));
    // The new one keeps its own 0.5 + 3.5.
    driver->advance(1.6);
    EXPECT_EQ(fresh->frame().y(), -25);

    // A clean-up during a slide-down: that slide's end schedules nothing.
    driver->advance(1);
    post("x");
    driver->advance(0.2);
    manager().cleanUpNotificationQueueForAlert();
    post("y");
    auto y = manager().notificationQueueForAlert().at(0);
    driver->advance(3.9);
    EXPECT_EQ(y->frame().y(), 1.5);
    driver->advance(0.2);
    EXPECT_EQ(y->frame().y(), -25);
}

TEST_F(NoticeTest, NoticesFromAWorkerThreadAreShownOnTheMainThread) {
    std::thread worker([this] { post("from a worker"); });
    worker.join();
    EXPECT_TRUE(manager().notificationQueueForAlert().empty());
    driver->settle();
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"from a worker"}));
}

TEST_F(NoticeTest, AdvertBannerHangsUnderTheStatusBarForSevenSeconds) {
    DnNotificationManager::notificationWithMessageForAD("广告", picture);
    auto queue = manager().notificationQueueForAD();
    ASSERT_EQ(queue.size(), 1u);
    auto banner = queue[0];
    EXPECT_EQ(banner->superview(), &driver->window());
    EXPECT_EQ(driver->window().subviews().back(), banner);
    EXPECT_TRUE(dynamic_cast<ui::Button*>(banner.get()));
    // 480 / 16 = 30 high; starts at 20 - 30 and rests at 20.
    EXPECT_EQ(banner->frame(), ui::Rect(0, 20, 320, 30));
    EXPECT_EQ(banner->layer().presentationState().position.y, -10 + 15);
    ASSERT_TRUE(noticeImage(banner, picture));
    EXPECT_EQ(noticeImage(banner, picture)->frame(), ui::Rect(0, 0, 320, 30));
    auto* label = noticeLabel(banner);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "广告");
    EXPECT_EQ(label->frame(), ui::Rect(10, 5, 300, 30));
    EXPECT_EQ(label->font(), ui::Font::systemFont(15));
    EXPECT_EQ(label->textColor(), ui::Color::whiteColor());

    driver->advance(0.5 + 6.9);
    EXPECT_EQ(banner->frame().y(), 20);
    driver->advance(0.2);
    EXPECT_EQ(banner->frame().y(), -10);
    driver->advance(0.5);
    EXPECT_EQ(banner->superview(), nullptr);
    EXPECT_FALSE(manager().showingNotificationForAD());
}

TEST_F(NoticeTest, TallScreenBannerIsASixteenthHigh) {
    ui::Screen::main().setSize({320, 568});
    DnNotificationManager::notificationWithMessageForAD(std::nullopt, picture);
    auto banner = manager().notificationQueueForAD().at(0);
    EXPECT_EQ(banner->frame(), ui::Rect(0, 20, 320, 35.5));
    manager().cleanUpNotificationQueueForAD();
    ui::Screen::main().reset();
}

TEST_F(NoticeTest, AdvertWithoutTextShowsItsPictureOnly) {
    DnNotificationManager::notificationWithMessageForAD("", picture);
    DnNotificationManager::notificationWithMessageForAD(std::nullopt, nullptr);
    EXPECT_TRUE(manager().notificationQueueForAD().empty());
    DnNotificationManager::notificationWithMessageForAD(std::nullopt, picture);
    auto queue = manager().notificationQueueForAD();
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_TRUE(noticeImage(queue[0], picture));
    EXPECT_EQ(noticeLabel(queue[0]), nullptr);
}

TEST_F(NoticeTest, TappingABannerHidesItAndTheNextFollows) {
    DnNotificationManager::notificationWithMessageForAD("one", picture);
    DnNotificationManager::notificationWithMessageForAD("two", picture);
    auto queue = manager().notificationQueueForAD();
    ASSERT_EQ(queue.size(), 2u);
    driver->advance(1.0);
    ASSERT_TRUE(driver->tap(queue[0].get()));
    EXPECT_EQ(queue[0]->frame().y(), -10);
    driver->advance(0.5);
    EXPECT_EQ(queue[0]->superview(), nullptr);
    EXPECT_EQ(queue[1]->frame().y(), 20);
    // The tapped banner's cancelled hide does not cut the next one short.
    driver->advance(7.4);  // it came to rest at 2.0
    EXPECT_EQ(queue[1]->frame().y(), 20);
    driver->advance(0.2);
    EXPECT_EQ(queue[1]->frame().y(), -10);

    // A tap with no banner showing does nothing.
    driver->advance(1);
    manager().selectorForNotificationPushedForAD();
    EXPECT_TRUE(manager().notificationQueueForAD().empty());
}

TEST_F(NoticeTest, AdvertCleanUpLeavesTheAlertsAndTheLastText) {
    post("kept");
    DnNotificationManager::notificationWithMessageForAD("ad", picture);
    auto banner = manager().notificationQueueForAD().at(0);
    manager().cleanUpNotificationQueueForAD();
    EXPECT_EQ(banner->superview(), nullptr);
    EXPECT_FALSE(manager().showingNotificationForAD());
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"kept"}));

    // Both kinds at once: the last alert text stays.
    manager().cleanUpNotificationQueue();
    EXPECT_TRUE(manager().notificationQueueForAlert().empty());
    EXPECT_EQ(DnNotificationManager::lastAlertText(), "kept");
    post("kept");
    EXPECT_TRUE(manager().notificationQueueForAlert().empty());
}

}  // namespace
